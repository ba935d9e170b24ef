#pragma once

#include <QLineEdit>

namespace ui {

// A line edit that reports when it gains the focus. Gaining the focus
// never selects its text, so typing adds to what is there. Return and
// Enter end at the edit (act on returnPressed); other keys it does not use
// go on to the parent as usual.
class VexaLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit VexaLineEdit(const QString& text, QWidget* parent = nullptr);

signals:
    // Emitted whenever the edit gains the keyboard focus, so a dialog can
    // point its on-screen keyboard at this field.
    void getFocus(VexaLineEdit* edit);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
};

} // namespace ui
