#include "viewer/sh_highlighter.h"

#include "viewer/highlighterformats.h"

SH_HIGHLIGHTER::SH_HIGHLIGHTER(QTextDocument* parent)
    : BASE_HIGHLIGHTER(parent)
{
    addRule(HighlighterFormats::italic(),
            R"rx((^\s*(export )?\s*[A-Za-z_][A-Za-z0-9_]*(?=\s*\=))|(\$[A-Za-z_][A-Za-z0-9_]*\b)|(\$\d*\b)|(\$\?)|(\$\!)|(\$\?)|(\$\$)|(\$\#))rx");
    addRule(HighlighterFormats::bold(),
            R"rx(\b(break|case|do|done|elif|else|esac|fi|for|if|in|then|until|while)\b)rx");
    addRule(HighlighterFormats::greyUnderline(),
            R"rx(("[^"]*")|('[^']*')|(`[^`]*`))rx");
    addRule(multiLineCommentFormat,
            R"rx((^|[^\$])#[^$]*)rx");
}

SH_HIGHLIGHTER::~SH_HIGHLIGHTER() = default;
