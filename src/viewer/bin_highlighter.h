#pragma once

#include "viewer/base_highlighter.h"

// Hex dumps: the byte columns that are control characters or not ASCII.
class BIN_HIGHLIGHTER : public BASE_HIGHLIGHTER
{
    Q_OBJECT

public:
    explicit BIN_HIGHLIGHTER(QTextDocument* parent);
    ~BIN_HIGHLIGHTER() override;
};
