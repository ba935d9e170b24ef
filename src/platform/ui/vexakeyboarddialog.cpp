#include "platform/ui/vexakeyboarddialog.h"

#include "platform/screen/screenupdatewatcher.h"
#include "platform/ui/safeparentwidget.h"
#include "platform/ui/vexakeyboard.h"
#include "platform/ui/vexalineedit.h"

#include <QVBoxLayout>

namespace ui {

VexaKeyboardDialog::VexaKeyboardDialog(QWidget* parent, const QString& title)
    : VexaDialog(parent, false)
    , edit(new VexaLineEdit(QString(), this))
    , keyboardWidget(new VexaKeyboard(this))
{
    setModal(true);
    updateTitle(title);
    vbox()->addWidget(edit);
    vbox()->addWidget(keyboardWidget);
    keyboardWidget->setReceiver(edit);

    // The keyboard's Enter reaches the edit; hardware Return and OK press
    // the focused on-screen key instead.
    connect(edit, &QLineEdit::returnPressed, this, &QDialog::accept);

    // Nothing reaches the panel unless asked for: each typed key, each
    // move of the keyboard's focus and each change of the text.
    connect(keyboardWidget, &VexaKeyboard::keyClicked, this, &VexaKeyboardDialog::requestScreenUpdate);
    connect(keyboardWidget, &VexaKeyboard::focusedKeyChanged, this, &VexaKeyboardDialog::requestScreenUpdate);
    connect(edit, &QLineEdit::textChanged, this, &VexaKeyboardDialog::requestScreenUpdate);
}

QString VexaKeyboardDialog::popup(const QString& text)
{
    edit->setText(text);
    edit->setFocus(Qt::OtherFocusReason);
    keyboardWidget->initFocus();
    dockToBottom();
    if (exec() != QDialog::Accepted)
        return QString();
    return edit->text();
}

void VexaKeyboardDialog::dockToBottom()
{
    const QWidget* base = safeParentWidget(parentWidget());
    const QRect area = base->isWindow() ? base->geometry()
                                        : QRect(base->mapToGlobal(QPoint(0, 0)), base->size());
    const int height = qMin(sizeHint().height(), area.height());
    setGeometry(area.x(), area.y() + area.height() - height, area.width(), height);
}

void VexaKeyboardDialog::requestScreenUpdate()
{
    vexa::screen::watcher().enqueue(this, vexa::screen::ScreenProxy::DW,
                                     vexa::screen::ScreenCommand::NO_WAIT);
}

} // namespace ui
