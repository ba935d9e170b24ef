#include "browser/screen_watcher.h"

#include "platform/screen/qtcompat.h"
#include "platform/sys/sysstatus.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPoint>
#include <QTimerEvent>
#include <QWidget>

namespace {

const int OutlinePointCount = 5;
const unsigned char OutlineColor = 0; // black
const int OutlineWidth = 1;

// The program's panel: the screen client, turned as the system manager
// client reports the display.
class ScreenClientPanel : public SCREEN_WATCHER::Panel
{
public:
    int rotation() const override { return sys::SysStatus::instance().screenTransformation(); }
    QSize screenSize() const override { return vexa::screen::desktopGeometry().size(); }

    void drawLines(const QPoint* points, int count, unsigned char color, int size) override
    {
        vexa::screen::ScreenProxy::instance().drawLines(points, count, color, size);
    }

    void updateScreen(vexa::screen::ScreenProxy::Waveform waveform,
                      vexa::screen::ScreenCommand::WaitMode wait) override
    {
        vexa::screen::ScreenProxy::instance().updateScreen(waveform, wait);
    }
};

ScreenClientPanel screenClientPanel;

} // namespace

// After the panel it sends to by default: both are built before main.
SCREEN_WATCHER screenWatcher;

SCREEN_WATCHER::SCREEN_WATCHER(QObject* parent)
    : QObject(parent)
    , panel(&screenClientPanel)
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

void SCREEN_WATCHER::setPanel(Panel* newPanel)
{
    panel = newPanel ? newPanel : &screenClientPanel;
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

    if (!highlightRect.isEmpty()) {
        const QRect r = vexa::screen::ScreenProxy::toPanel(highlightRect, panel->screenSize(),
                                                           panel->rotation());
        const QPoint outline[OutlinePointCount] = {r.topLeft(), r.topRight(), r.bottomRight(),
                                                   r.bottomLeft(), r.topLeft()};
        panel->drawLines(outline, OutlinePointCount, OutlineColor, OutlineWidth);
        highlightRect = QRect();
    }
    panel->updateScreen(vexa::screen::ScreenProxy::GU, vexa::screen::ScreenCommand::SERVICE_WAIT);
    updatePending = false;
}
