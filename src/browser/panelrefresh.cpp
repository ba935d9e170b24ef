#include "browser/panelrefresh.h"

#include "platform/screen/screenproxy.h"

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

void updateWholeScreen()
{
    using vexa::screen::ScreenCommand;
    using vexa::screen::ScreenProxy;
    ScreenProxy::instance().updateScreen(ScreenProxy::NO_WAVEFORM, ScreenCommand::SERVICE_WAIT);
}
