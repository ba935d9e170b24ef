#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace ui {

// Key layout of the on-screen keyboard: a grid of character keys in two
// pages (letters and digits; punctuation) and one row of control keys.
class KeyboardData
{
public:
    // The text of the Enter key event the on-screen keyboard sends. A
    // hardware Enter carries "\r" or nothing, so receivers can tell the two
    // apart.
    static const QString ENTER_TEXT;

    enum Page { LETTERS = 0, SYMBOLS = 1 };

    enum ShiftState { SHIFT_OFF = 0, SHIFT_ONCE = 1, CAPS_LOCK = 2 };

    enum KeyKind {
        CHARACTER = 0,
        SHIFT,
        PAGE,
        CURSOR_LEFT,
        SPACE,
        CURSOR_RIGHT,
        BACKSPACE,
        ENTER,
    };

    struct ControlKey
    {
        KeyKind kind;
        int stretch; // width in character keys
    };

    // Every page has the same number of rows and keys per row, so switching
    // pages only relabels the keys.
    static int rowCount();
    static int columnCount();

    // The characters of one page, row by row; letters in upper case when
    // the keyboard is shifted.
    static QList<QStringList> rows(Page page, bool upperCase);

    static QList<ControlKey> controlKeys();

    // The label of a control key in the given state.
    static QString controlLabel(KeyKind kind, Page page, ShiftState shift);

    // Key code and text of the event a key sends. Character keys use the
    // code Qt gives the character on a hardware keyboard.
    static int keyCode(KeyKind kind, const QString& character = QString());
    static QString keyText(KeyKind kind, const QString& character = QString());
};

} // namespace ui
