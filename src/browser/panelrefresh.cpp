#include "browser/panelrefresh.h"

#include "browser/screen_watcher.h"
#include "platform/screen/screenproxy.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

namespace {

// The longest wait for the repaint before a whole-screen update.
const int SettleMs = 1000;

} // namespace

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
    // Whatever has just closed (a menu, a keyboard dialog) stays in the frame
    // buffer until the windows below repaint: let that settle and reach the
    // X server first, so the flash shows the screen as it is now.
    repaintAfterDialog();
    ScreenProxy& proxy = ScreenProxy::instance();
    proxy.flush(SettleMs);
    QGuiApplication::sync();
    proxy.updateScreen(ScreenProxy::NO_WAVEFORM, ScreenCommand::SERVICE_WAIT);
    // That update covered what was painted.
    screenWatcher.updatePending = false;
}
