#pragma once

#include "viewer/base_highlighter.h"

// Shell scripts: variables, keywords, quoted strings and # comments.
class SH_HIGHLIGHTER : public BASE_HIGHLIGHTER
{
    Q_OBJECT

public:
    explicit SH_HIGHLIGHTER(QTextDocument* parent);
    ~SH_HIGHLIGHTER() override;
};
