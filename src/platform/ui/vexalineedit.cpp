#include "platform/ui/vexalineedit.h"

#include "platform/ui/vexadialog.h"

#include <QKeyEvent>

namespace ui {

VexaLineEdit::VexaLineEdit(const QString& text, QWidget* parent)
    : QLineEdit(text, parent)
{
    setMinimumHeight(VexaDialog::defaultItemHeight());
}

void VexaLineEdit::keyPressEvent(QKeyEvent* event)
{
    QLineEdit::keyPressEvent(event);
    // QLineEdit lets Enter go on to its parent after emitting
    // returnPressed. A dialog that hands its keys to the edit would get it
    // back and hand it on again without end; the edit ends it here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        event->accept();
}

void VexaLineEdit::focusInEvent(QFocusEvent* event)
{
    // QLineEdit selects everything when focus comes by Tab, which is how a
    // dialog focuses its first field on show; the first on-screen key would
    // then wipe the text the dialog was opened with.
    const bool hadSelection = hasSelectedText();
    QLineEdit::focusInEvent(event);
    if (!hadSelection && hasSelectedText())
        deselect();
    emit getFocus(this);
}

} // namespace ui
