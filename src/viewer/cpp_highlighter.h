#pragma once

#include "viewer/base_highlighter.h"

// C-like sources: function names, keywords, type words, literals, preprocessor
// lines and both kinds of comment.
class CPP_HIGHLIGHTER : public BASE_HIGHLIGHTER
{
    Q_OBJECT

public:
    explicit CPP_HIGHLIGHTER(QTextDocument* parent);
    ~CPP_HIGHLIGHTER() override;
};
