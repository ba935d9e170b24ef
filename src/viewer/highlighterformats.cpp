#include "viewer/highlighterformats.h"

#include <QBrush>
#include <QFont>

namespace HighlighterFormats {

namespace {

QTextCharFormat underlined(QTextCharFormat::UnderlineStyle style)
{
    QTextCharFormat format;
    format.setUnderlineStyle(style);
    format.setUnderlineColor(Qt::gray);
    return format;
}

} // namespace

QTextCharFormat italic()
{
    QTextCharFormat format;
    format.setFontItalic(true);
    return format;
}

QTextCharFormat bold()
{
    QTextCharFormat format;
    format.setFontWeight(QFont::Bold);
    return format;
}

QTextCharFormat boldItalic()
{
    QTextCharFormat format = bold();
    format.setFontItalic(true);
    return format;
}

QTextCharFormat greyUnderline()
{
    return underlined(QTextCharFormat::SingleUnderline);
}

QTextCharFormat greyWave()
{
    return underlined(QTextCharFormat::WaveUnderline);
}

QTextCharFormat boldDark()
{
    QTextCharFormat format = bold();
    format.setForeground(QBrush(Qt::darkGray, Qt::SolidPattern));
    return format;
}

} // namespace HighlighterFormats
