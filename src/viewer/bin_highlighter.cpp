#include "viewer/bin_highlighter.h"

#include "viewer/highlighterformats.h"

BIN_HIGHLIGHTER::BIN_HIGHLIGHTER(QTextDocument* parent)
    : BASE_HIGHLIGHTER(parent)
{
    addRule(HighlighterFormats::italic(),
            R"rx( ([0-1][0-9a-f]|7f|[8-9a-f][0-9a-f]))rx");
}

BIN_HIGHLIGHTER::~BIN_HIGHLIGHTER() = default;
