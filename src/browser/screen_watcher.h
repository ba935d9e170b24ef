#pragma once

#include "platform/screen/screencommand.h"
#include "platform/screen/screenproxy.h"

#include <QObject>
#include <QRect>
#include <QSize>

class QEvent;
class QPoint;
class QTimerEvent;
class QWidget;

// The program's e-ink refresh policy: watched windows note that Qt painted,
// and the 200 ms tick turns that into one partial GU update of the whole
// screen once Qt's queue is empty. It also draws the outline of the current
// row or menu entry straight on the panel, so moving a cursor costs no repaint.
class SCREEN_WATCHER : public QObject
{
    Q_OBJECT

public:
    // Where the watcher's requests go: the screen client, or a stand-in.
    class Panel
    {
    public:
        virtual ~Panel() = default;
        // The running display's rotation in degrees, and the size of the
        // screen as the program sees it (before the rotation).
        virtual int rotation() const = 0;
        virtual QSize screenSize() const = 0;
        virtual void drawLines(const QPoint* points, int count, unsigned char color, int size) = 0;
        virtual void updateScreen(vexa::screen::ScreenProxy::Waveform waveform,
                                  vexa::screen::ScreenCommand::WaitMode wait) = 0;
    };

    explicit SCREEN_WATCHER(QObject* parent = nullptr);
    ~SCREEN_WATCHER() override;

    // Register a window, dialog or menu; the filter goes away with the widget.
    void watch(QWidget* widget);

    // Start the repeating refresh timer (the main window does this once).
    void start(int ms);

    // Null sends to the screen client again. The panel is not owned.
    void setPanel(Panel* panel);

    int timerId = 0;
    bool updatePending = false;
    // Outline drawn at the next refresh, in logical screen coordinates; null
    // when there is none.
    QRect highlightRect;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    Panel* panel;
};

extern SCREEN_WATCHER screenWatcher;
