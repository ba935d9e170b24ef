#include "platform/ui/vexapushbutton.h"

#include "platform/ui/vexadialog.h"

namespace ui {

VexaPushButton::VexaPushButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    init();
}

VexaPushButton::VexaPushButton(const QIcon& icon, const QString& text, QWidget* parent)
    : QPushButton(icon, text, parent)
{
    init();
}

void VexaPushButton::init()
{
    // In a dialog an auto-default button would swallow the OK key.
    setAutoDefault(false);
    setDefault(false);
}

void VexaPushButton::useDefaultHeight()
{
    setFixedHeight(VexaDialog::defaultItemHeight());
}

} // namespace ui
