#include "platform/ui/keyboarddata.h"

#include <QtGlobal>

namespace ui {

const QString KeyboardData::ENTER_TEXT = QStringLiteral("\n");

namespace {

// Digits stay on the first row of both pages; the letters page also has
// the characters file names need most.
const char* const LetterRows[] = {
    "1234567890",
    "qwertyuiop",
    "asdfghjkl-",
    "zxcvbnm_./",
};

const char* const SymbolRows[] = {
    "1234567890",
    "!@#$%^&*()",
    "~`|\\{}[]<>",
    "\"',;:=+-_?",
};

const int Rows = 4;
const int Columns = 10;

const char* const ShiftLabel = "Shift";
const char* const CapsLabel = "Caps";
const char* const SymbolsLabel = "?123";
const char* const LettersLabel = "abc";
const char* const SpaceLabel = "Space";
const char* const EnterLabel = "Enter";
const ushort LeftArrow = 0x2190;
const ushort RightArrow = 0x2192;
const ushort EraseLeft = 0x232B;

} // namespace

int KeyboardData::rowCount()
{
    return Rows;
}

int KeyboardData::columnCount()
{
    return Columns;
}

QList<QStringList> KeyboardData::rows(Page page, bool upperCase)
{
    const char* const* source = page == SYMBOLS ? SymbolRows : LetterRows;
    QList<QStringList> result;
    for (int r = 0; r < Rows; ++r) {
        QStringList row;
        const QString line = QString::fromLatin1(source[r]);
        for (const QChar c : line)
            row << QString(upperCase && page == LETTERS ? c.toUpper() : c);
        result << row;
    }
    return result;
}

QList<KeyboardData::ControlKey> KeyboardData::controlKeys()
{
    return {
        {SHIFT, 2}, {PAGE, 2}, {CURSOR_LEFT, 1}, {SPACE, 4}, {CURSOR_RIGHT, 1}, {BACKSPACE, 1}, {ENTER, 2},
    };
}

QString KeyboardData::controlLabel(KeyKind kind, Page page, ShiftState shift)
{
    switch (kind) {
    case SHIFT:
        return QString::fromLatin1(shift == CAPS_LOCK ? CapsLabel : ShiftLabel);
    case PAGE:
        return QString::fromLatin1(page == LETTERS ? SymbolsLabel : LettersLabel);
    case CURSOR_LEFT:
        return QString(QChar(LeftArrow));
    case SPACE:
        return QString::fromLatin1(SpaceLabel);
    case CURSOR_RIGHT:
        return QString(QChar(RightArrow));
    case BACKSPACE:
        return QString(QChar(EraseLeft));
    case ENTER:
        return QString::fromLatin1(EnterLabel);
    case CHARACTER:
        break;
    }
    return QString();
}

int KeyboardData::keyCode(KeyKind kind, const QString& character)
{
    switch (kind) {
    case CHARACTER:
        // For Latin-1 the key code is the upper-case character.
        return character.isEmpty() ? 0 : int(character.at(0).toUpper().unicode());
    case SPACE:
        return Qt::Key_Space;
    case CURSOR_LEFT:
        return Qt::Key_Left;
    case CURSOR_RIGHT:
        return Qt::Key_Right;
    case BACKSPACE:
        return Qt::Key_Backspace;
    case ENTER:
        return Qt::Key_Enter;
    case SHIFT:
        return Qt::Key_Shift;
    case PAGE:
        return 0;
    }
    return 0;
}

QString KeyboardData::keyText(KeyKind kind, const QString& character)
{
    switch (kind) {
    case CHARACTER:
        return character;
    case SPACE:
        return QStringLiteral(" ");
    case BACKSPACE:
        return QStringLiteral("\b");
    case ENTER:
        return ENTER_TEXT;
    default:
        return QString();
    }
}

} // namespace ui
