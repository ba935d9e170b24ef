#pragma once

#include "platform/ui/vexadialog.h"

namespace ui {

class VexaKeyboard;
class VexaLineEdit;

// One-line text entry: the title, a line edit and the on-screen keyboard,
// docked to the bottom of the screen across its width. With the device's
// keys: arrows walk the keyboard, OK presses a key; from the starting key
// Up, Up, Left reaches Enter. Back cancels.
class VexaKeyboardDialog : public VexaDialog
{
    Q_OBJECT

public:
    VexaKeyboardDialog(QWidget* parent, const QString& title);

    // Runs the dialog modally with text in the edit. Returns the edited
    // text when the keyboard's Enter was pressed; an empty string when the
    // dialog was cancelled (Back or the close button).
    QString popup(const QString& text);

    VexaLineEdit* lineEdit() const { return edit; }
    VexaKeyboard* keyboard() const { return keyboardWidget; }

private slots:
    void requestScreenUpdate();

private:
    void dockToBottom();

    VexaLineEdit* edit;
    VexaKeyboard* keyboardWidget;
};

} // namespace ui
