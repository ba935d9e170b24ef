#pragma once

#include "platform/screen/screencommand.h"
#include "platform/screen/screenproxy.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QRect>

class QWidget;

namespace vexa {
namespace screen {

// Collects update requests of widgets and, once Qt has repainted, sends them
// merged into one region update.
class ScreenUpdateWatcher : public QObject
{
    Q_OBJECT

public:
    static ScreenUpdateWatcher& instance();

    bool isQueueEmpty() const;

    // The slots are also called by name; their types are spelled in full so
    // that the signatures match what callers outside the namespace write.
public Q_SLOTS:
    void addWatcher(QWidget* widget, int gcInterval);
    void addWatcher(QWidget* widget);
    void removeWatcher(QWidget* widget);
    void enqueue(QWidget* widget, vexa::screen::ScreenProxy::Waveform w,
                 vexa::screen::ScreenCommand::WaitMode wait);
    void enqueue(QWidget* widget, vexa::screen::ScreenProxy::Waveform w);
    void enqueue(QWidget* widget);
    void enqueue(QWidget* widget, QRect rc, vexa::screen::ScreenProxy::Waveform w,
                 vexa::screen::ScreenCommand::WaitMode wait);
    void enqueue(QWidget* widget, QRect rc, vexa::screen::ScreenProxy::Waveform w);
    void dwEnqueueStart(QWidget* widget, QRect rc);
    void dwEnqueueEnd(QWidget* widget, QRect rc);
    void updateScreen();
    void guUpdateScreen();
    void gcUpdateScreen();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private Q_SLOTS:
    void forgetWidget(QObject* object);

private:
    struct UpdateItem
    {
        ScreenProxy::Waveform waveform;
        ScreenCommand::WaitMode wait;
        QRect rect; // global logical coordinates
    };

    struct WatchEntry
    {
        int count;
        int gcInterval;
    };

    ScreenUpdateWatcher();

    bool enqueue(UpdateItem& item, QWidget* widget, ScreenProxy::Waveform w,
                 ScreenCommand::WaitMode wait, const QRect& rc);
    void append(QWidget* widget, ScreenProxy::Waveform w, ScreenCommand::WaitMode wait,
                const QRect& rc);
    void updateScreenInternal(bool automatic, ScreenProxy::Waveform w);

    QList<UpdateItem> queue;
    QMap<QWidget*, WatchEntry> watchers;
    bool dwActive = false;
};

ScreenUpdateWatcher& watcher();

} // namespace screen
} // namespace vexa
