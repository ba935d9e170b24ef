#include "viewer/xml_highlighter.h"

#include "viewer/highlighterformats.h"

XML_HIGHLIGHTER::XML_HIGHLIGHTER(QTextDocument* parent)
    : BASE_HIGHLIGHTER(parent)
{
    addRule(HighlighterFormats::bold(),
            R"rx(<[^>]+>)rx");
    addRule(HighlighterFormats::greyUnderline(),
            R"rx(\s[a-zA-Z:_][\w:-]*\s*=\s*"[^"]*")rx");
    addRule(HighlighterFormats::italic(),
            R"rx(\s[a-zA-Z:_][\w:-]*\s*=\s*)rx");
    addRule(HighlighterFormats::greyWave(),
            R"rx(&[^;]+;)rx");
    commentStartExpression = rulePattern(QStringLiteral(R"rx(<!--)rx"));
    commentEndExpression = rulePattern(QStringLiteral(R"rx(-->)rx"));
}

XML_HIGHLIGHTER::~XML_HIGHLIGHTER() = default;
