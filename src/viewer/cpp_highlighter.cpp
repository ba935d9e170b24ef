#include "viewer/cpp_highlighter.h"

#include "viewer/highlighterformats.h"

CPP_HIGHLIGHTER::CPP_HIGHLIGHTER(QTextDocument* parent)
    : BASE_HIGHLIGHTER(parent)
{
    addRule(HighlighterFormats::italic(),
            R"rx(\b([A-Za-z_][A-Za-z0-9_]*::)*[A-Za-z_][A-Za-z0-9_]*(?=\s*\())rx");
    addRule(HighlighterFormats::bold(),
            R"rx(\b(alignas|alignof|and|and_eq|asm|bitand|bitor|break|case|catch|compl|constexpr|const_cast|continue|decltype|default|delete|do|dynamic_cast|else|for|friend|goto|if|namespace|new|noexcept|not|not_eq|operator|or|or_eq|private|protected|public|reinterpret_cast|return|sizeof|static_assert|static_cast|switch|this|thread_local|throw|try|typedef|typeid|typename|using|while|xor|xor_eq)\b)rx");
    addRule(HighlighterFormats::boldItalic(),
            R"rx(\b(auto|bool|char|char16_t|char32_t|class|const|double|enum|explicit|export|extern|float|inline|int|long|mutable|register|short|signed|static|struct|template|union|unsigned|virtual|void|volatile|wchar_t)\b)rx");
    addRule(HighlighterFormats::greyUnderline(),
            R"rx(('(?:[^\\']|\\.)*'|"(?:[^\\"]|\\.)*")|(\b(0[Xx][0-9A-Fa-f]+|[0-9]+\.?[0-9]*|[0-9]*\.[0-9]+)((e[+-]?[0-9]+)?[Uu]?[LlFf]?[Ll]?[Uu]?)\b)|(\b(false|true|nullptr|FALSE|TRUE|NULL)\b))rx");
    addRule(HighlighterFormats::boldDark(),
            R"rx(^\s*#[^$]*)rx");
    addRule(multiLineCommentFormat,
            R"rx(//[^$]*)rx");
    commentStartExpression = rulePattern(QStringLiteral(R"rx(/\*)rx"));
    commentEndExpression = rulePattern(QStringLiteral(R"rx(\*/)rx"));
}

CPP_HIGHLIGHTER::~CPP_HIGHLIGHTER() = default;
