#include "browser/screen_watcher.h"

#include "platform/screen/qtcompat.h"
#include "platform/screen/screenproxy.h"
#include "platform/sys/sysstatus.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPoint>
#include <QTimerEvent>
#include <QWidget>

SCREEN_WATCHER screenWatcher;

namespace {

const int OutlinePointCount = 5;
const unsigned char OutlineColor = 0;   // black
const int OutlineWidth = 1;

} // namespace

SCREEN_WATCHER::SCREEN_WATCHER(QObject* parent)
    : QObject(parent)
{
}

SCREEN_WATCHER::~SCREEN_WATCHER()
{
    // The global instance outlives the application object, whose event
    // dispatcher already dropped the timer.
    if (timerId != 0 && QCoreApplication::instance() != nullptr)
        killTimer(timerId);
}

void SCREEN_WATCHER::watch(QWidget* widget)
{
    highlightRect = QRect();
    if (widget != nullptr)
        widget->installEventFilter(this);
}

void SCREEN_WATCHER::start(int ms)
{
    if (timerId != 0)
        killTimer(timerId);
    timerId = startTimer(ms);
}

QRect SCREEN_WATCHER::toPanel(const QRect& rect, int degree, int screenRight, int screenBottom)
{
    const int x1 = rect.left();
    const int y1 = rect.top();
    const int x2 = rect.right();
    const int y2 = rect.bottom();
    const int w = x2 - x1 + 1;
    const int h = y2 - y1 + 1;
    switch (degree) {
    case 90:
        return QRect(y1, screenRight - x2, h, w);
    case 180:
        return QRect(screenRight - x2, screenBottom - y2, w, h);
    case 270:
        return QRect(screenBottom - y2, x1, h, w);
    default:
        return QRect(x1, y1, w, h);
    }
}

bool SCREEN_WATCHER::eventFilter(QObject* object, QEvent* event)
{
    if (event->type() == QEvent::UpdateRequest)
        updatePending = true;
    return QObject::eventFilter(object, event);
}

void SCREEN_WATCHER::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timerId) {
        QObject::timerEvent(event);
        return;
    }
    if (!updatePending || vexa::screen::hasPendingEvents())
        return;

    auto& proxy = vexa::screen::ScreenProxy::instance();
    if (!highlightRect.isEmpty()) {
        const QRect screen = vexa::screen::desktopGeometry();
        const QRect r = toPanel(highlightRect, sys::SysStatus::instance().screenTransformation(),
                                screen.right(), screen.bottom());
        QPoint outline[OutlinePointCount] = {
            r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft(), r.topLeft()
        };
        proxy.drawLines(outline, OutlinePointCount, OutlineColor, OutlineWidth);
        highlightRect = QRect();
    }
    proxy.updateScreen(vexa::screen::ScreenProxy::GU, vexa::screen::ScreenCommand::SERVICE_WAIT);
    updatePending = false;
}
