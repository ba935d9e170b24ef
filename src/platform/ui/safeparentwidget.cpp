#include "platform/ui/safeparentwidget.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QWidget>

namespace ui {

QWidget* safeParentWidget(QWidget* widget)
{
    if (widget)
        return widget->window();
    return QApplication::desktop();
}

} // namespace ui
