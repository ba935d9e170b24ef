#include "fileops/panelrefresh.h"

#include <QApplication>
#include <QWidget>

void repaintAfterDialog()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible())
            window->update();
    }
}
