#include "platform/ui/keyboarddata.h"

#include <QtGlobal>

namespace ui {

const QString KeyboardData::ENTER_TEXT = QStringLiteral("\n");

namespace {

// Digits stay on the first row of both pages; the letters page also has
// the characters file names need most.
const char* const LETTER_ROWS[] = {
    "1234567890",
    "qwertyuiop",
    "asdfghjkl-",
    "zxcvbnm_./",
};

const char* const SYMBOL_ROWS[] = {
    "1234567890",
    "!@#$%^&*()",
    "~`|\\{}[]<>",
    "\"',;:=+-_?",
};

const int ROWS = 4;
const int COLUMNS = 10;

const char* const SHIFT_LABEL = "Shift";
const char* const CAPS_LABEL = "Caps";
const char* const SYMBOLS_LABEL = "?123";
const char* const LETTERS_LABEL = "abc";
const char* const SPACE_LABEL = "Space";
const char* const ENTER_LABEL = "Enter";
const ushort LEFT_ARROW = 0x2190;
const ushort RIGHT_ARROW = 0x2192;
const ushort ERASE_LEFT = 0x232B;

} // namespace

int KeyboardData::rowCount()
{
    return ROWS;
}

int KeyboardData::columnCount()
{
    return COLUMNS;
}

QList<QStringList> KeyboardData::rows(Page page, bool upper_case)
{
    const char* const* source = page == SYMBOLS ? SYMBOL_ROWS : LETTER_ROWS;
    QList<QStringList> result;
    for (int r = 0; r < ROWS; ++r) {
        QStringList row;
        const QString line = QString::fromLatin1(source[r]);
        for (const QChar c : line)
            row << QString(upper_case && page == LETTERS ? c.toUpper() : c);
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
        return QString::fromLatin1(shift == CAPS_LOCK ? CAPS_LABEL : SHIFT_LABEL);
    case PAGE:
        return QString::fromLatin1(page == LETTERS ? SYMBOLS_LABEL : LETTERS_LABEL);
    case CURSOR_LEFT:
        return QString(QChar(LEFT_ARROW));
    case SPACE:
        return QString::fromLatin1(SPACE_LABEL);
    case CURSOR_RIGHT:
        return QString(QChar(RIGHT_ARROW));
    case BACKSPACE:
        return QString(QChar(ERASE_LEFT));
    case ENTER:
        return QString::fromLatin1(ENTER_LABEL);
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
