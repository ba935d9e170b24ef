#pragma once

#include <QTextCharFormat>

// The character formats of the rule tables: weight, italics, underlines and
// greys only, which is all an e-ink panel shows well.
namespace HighlighterFormats {

QTextCharFormat italic();
QTextCharFormat bold();
QTextCharFormat boldItalic();
QTextCharFormat greyUnderline();
QTextCharFormat greyWave();
QTextCharFormat boldDark();

} // namespace HighlighterFormats
