#include "platform/ui/vexalineedit.h"

#include "platform/ui/vexadialog.h"

namespace ui {

VexaLineEdit::VexaLineEdit(const QString& text, QWidget* parent)
    : QLineEdit(text, parent)
{
    setMinimumHeight(VexaDialog::defaultItemHeight());
}

void VexaLineEdit::focusInEvent(QFocusEvent* event)
{
    // QLineEdit selects everything when focus comes by Tab, which is how a
    // dialog focuses its first field on show; the first on-screen key would
    // then wipe the text the dialog was opened with.
    const bool had_selection = hasSelectedText();
    QLineEdit::focusInEvent(event);
    if (!had_selection && hasSelectedText())
        deselect();
    emit getFocus(this);
}

} // namespace ui
