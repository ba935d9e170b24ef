#include "platform/screen/screenupdatewatcher.h"

#include "platform/logging.h"
#include "platform/screen/qtcompat.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace vexa {
namespace screen {

ScreenUpdateWatcher::ScreenUpdateWatcher() = default;

ScreenUpdateWatcher& ScreenUpdateWatcher::instance()
{
    static ScreenUpdateWatcher watcher;
    return watcher;
}

ScreenUpdateWatcher& watcher()
{
    return ScreenUpdateWatcher::instance();
}

bool ScreenUpdateWatcher::isQueueEmpty() const
{
    return queue.isEmpty();
}

void ScreenUpdateWatcher::addWatcher(QWidget* widget, int gcInterval)
{
    if (!widget)
        return;
    if (gcInterval >= 0) {
        // count starts full, so the first update after registering is a GC.
        watchers.insert(widget, WatchEntry{gcInterval, gcInterval});
        connect(widget, &QObject::destroyed, this, &ScreenUpdateWatcher::forgetWidget,
                Qt::UniqueConnection);
    }
    widget->installEventFilter(this);
}

void ScreenUpdateWatcher::addWatcher(QWidget* widget)
{
    addWatcher(widget, -1);
}

void ScreenUpdateWatcher::removeWatcher(QWidget* widget)
{
    if (!widget)
        return;
    widget->removeEventFilter(this);
    watchers.remove(widget);
    disconnect(widget, &QObject::destroyed, this, &ScreenUpdateWatcher::forgetWidget);
}

void ScreenUpdateWatcher::forgetWidget(QObject* object)
{
    // A widget that dies registered must not hand its entry to a later
    // widget at the same address.
    watchers.remove(static_cast<QWidget*>(object));
}

void ScreenUpdateWatcher::enqueue(QWidget* widget, ScreenProxy::Waveform w,
                                  ScreenCommand::WaitMode wait)
{
    append(widget, w, wait, QRect());
}

void ScreenUpdateWatcher::enqueue(QWidget* widget, ScreenProxy::Waveform w)
{
    append(widget, w, ScreenCommand::SERVICE_WAIT, QRect());
}

void ScreenUpdateWatcher::enqueue(QWidget* widget)
{
    append(widget, ScreenProxy::GC, ScreenCommand::SERVICE_WAIT, QRect());
}

void ScreenUpdateWatcher::enqueue(QWidget* widget, QRect rc, ScreenProxy::Waveform w,
                                  ScreenCommand::WaitMode wait)
{
    append(widget, w, wait, rc);
}

void ScreenUpdateWatcher::enqueue(QWidget* widget, QRect rc, ScreenProxy::Waveform w)
{
    append(widget, w, ScreenCommand::SERVICE_WAIT, rc);
}

void ScreenUpdateWatcher::dwEnqueueStart(QWidget* widget, QRect rc)
{
    dwActive = true;
    append(widget, ScreenProxy::DW, ScreenCommand::NO_WAIT, rc);
}

void ScreenUpdateWatcher::dwEnqueueEnd(QWidget* widget, QRect rc)
{
    dwActive = false;
    append(widget, ScreenProxy::DW, ScreenCommand::NO_WAIT, rc);
}

void ScreenUpdateWatcher::updateScreen()
{
    updateScreenInternal(true, ScreenProxy::GC);
}

void ScreenUpdateWatcher::guUpdateScreen()
{
    updateScreenInternal(false, ScreenProxy::GU);
}

void ScreenUpdateWatcher::gcUpdateScreen()
{
    updateScreenInternal(false, ScreenProxy::GC);
}

void ScreenUpdateWatcher::append(QWidget* widget, ScreenProxy::Waveform w,
                                 ScreenCommand::WaitMode wait, const QRect& rc)
{
    UpdateItem item{};
    if (enqueue(item, widget, w, wait, rc))
        queue.append(item);
}

bool ScreenUpdateWatcher::enqueue(UpdateItem& item, QWidget* widget, ScreenProxy::Waveform w,
                                  ScreenCommand::WaitMode wait, const QRect& rc)
{
    // No widget means the desktop: always shown, at the origin, screen-sized.
    QPoint topLeft = rc.topLeft();
    QSize size = rc.size();
    if (widget) {
        if (!widget->testAttribute(Qt::WA_WState_Visible))
            return false;
        topLeft = widget->mapToGlobal(rc.topLeft());
    }
    if (size.width() < 1 || size.height() < 1)
        size = widget ? widget->size() : desktopGeometry().size();

    item = UpdateItem{w, wait, QRect(topLeft, size)};
    qCDebug(lcScreen) << "add new request " << item.rect;
    return true;
}

void ScreenUpdateWatcher::updateScreenInternal(bool automatic, ScreenProxy::Waveform w)
{
    QRect rect;
    int waveform = ScreenProxy::DW;
    int wait = ScreenCommand::NO_WAIT;
    while (!queue.isEmpty()) {
        const UpdateItem item = queue.takeFirst();
        rect = rect.united(item.rect);
        waveform = automatic ? std::max<int>(waveform, item.waveform) : w;
        wait = std::max<int>(wait, item.wait);
    }
    if (!rect.isValid())
        return;
    qCDebug(lcScreen) << "update screen " << rect << "Waveform " << waveform << "wait " << wait;
    ScreenProxy::instance().updateWidgetRegion(nullptr, rect, ScreenProxy::Waveform(waveform),
                                               false, ScreenCommand::WaitMode(wait));
}

bool ScreenUpdateWatcher::eventFilter(QObject* object, QEvent* event)
{
    switch (event->type()) {
    case QEvent::UpdateRequest: {
        // Deferred so that Qt finishes painting before the panel refreshes.
        QWidget* widget = qobject_cast<QWidget*>(object);
        const auto it = widget ? watchers.find(widget) : watchers.end();
        if (dwActive || it == watchers.end()) {
            QTimer::singleShot(0, this, &ScreenUpdateWatcher::updateScreen);
        } else {
            WatchEntry& entry = it.value();
            ++entry.count;
            if (entry.count < entry.gcInterval || entry.gcInterval < 1) {
                QTimer::singleShot(0, this, &ScreenUpdateWatcher::guUpdateScreen);
            } else {
                entry.count = 0;
                QTimer::singleShot(0, this, &ScreenUpdateWatcher::gcUpdateScreen);
            }
        }
        break;
    }
    case QEvent::WindowActivate:
        if (QWidget* widget = qobject_cast<QWidget*>(object)) {
            widget->update();
            append(widget, ScreenProxy::GC, ScreenCommand::SERVICE_WAIT, QRect());
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(object, event);
}

} // namespace screen
} // namespace vexa
