#include "platform/ui/vexacheckbox.h"

#include "platform/ui/uiresources.h"

namespace ui {

namespace {
const char* const CheckBoxStyle =
    "QCheckBox { spacing: 8px; }"
    "QCheckBox::indicator { width: 24px; height: 24px; }"
    "QCheckBox::indicator:unchecked { image: url(:/images/check_box_normal); }"
    "QCheckBox::indicator:checked { image: url(:/images/check_box_checked); }";
}

VexaCheckBox::VexaCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent)
{
    initResources();
    setStyleSheet(QString::fromLatin1(CheckBoxStyle));
}

void VexaCheckBox::selectOnClicked(bool select)
{
    const int policy = select ? (focusPolicy() | Qt::ClickFocus) : (focusPolicy() & ~Qt::ClickFocus);
    setFocusPolicy(Qt::FocusPolicy(policy));
}

bool VexaCheckBox::isSelectOnClicked() const
{
    return focusPolicy() & Qt::ClickFocus;
}

} // namespace ui
