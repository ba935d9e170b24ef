#ifndef LIRRO_BROWSER_SCREEN_WATCHER_H
#define LIRRO_BROWSER_SCREEN_WATCHER_H

#include <QObject>
#include <QRect>

class QWidget;
class QEvent;
class QTimerEvent;

// The program's e-ink refresh policy: watched windows note that Qt painted,
// and the 200 ms tick turns that into one partial GU update of the whole
// screen once Qt's queue is empty. It also draws the outline of the current
// row or menu entry straight on the panel, so moving a cursor costs no repaint.
class SCREEN_WATCHER : public QObject
{
    Q_OBJECT

public:
    explicit SCREEN_WATCHER(QObject* parent = nullptr);
    ~SCREEN_WATCHER() override;

    // Register a window, dialog or menu; the filter goes away with the widget.
    void watch(QWidget* widget);

    // Start the repeating refresh timer (the main window does this once).
    void start(int ms);

    // Convert a rectangle of the rotated (logical) screen into the panel's own
    // coordinates. screenRight and screenBottom are the inclusive edges of the
    // logical screen; degree is 0, 90, 180 or 270.
    static QRect toPanel(const QRect& rect, int degree, int screenRight, int screenBottom);

    int timerId = 0;
    bool updatePending = false;
    // Outline drawn at the next refresh, in logical screen coordinates; null
    // when there is none.
    QRect highlightRect;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
};

extern SCREEN_WATCHER screenWatcher;

#endif
