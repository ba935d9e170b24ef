#include "browser/menu.h"

#include "browser/screen_watcher.h"

#include <QAction>
#include <QHideEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

MENU::MENU(QWidget* parent)
    : QMenu(parent)
{
    screenWatcher.watch(this);
}

void MENU::hide()
{
    screenWatcher.highlightRect = QRect();
    setVisible(false);
}

void MENU::hideEvent(QHideEvent* event)
{
    // Qt closes a menu through QWidget::hide (an entry chosen, Escape, a
    // click outside), which bypasses the slot above; an outline queued for
    // the vanished menu must not be drawn on the panel either.
    screenWatcher.highlightRect = QRect();
    QMenu::hideEvent(event);
}

void MENU::paintEvent(QPaintEvent* event)
{
    QMenu::paintEvent(event);
    screenWatcher.highlightRect = QRect();

    QAction* active = activeAction();
    if (active == nullptr)
        return;
    const QRect g = actionGeometry(active);

    if (event->rect().height() > 2 * g.height()) {
        // A full or large repaint: the outline goes into the menu itself.
        QPainter painter(this);
        painter.setPen(QPen(QBrush(Qt::black, Qt::SolidPattern), 1.0, Qt::SolidLine,
                            Qt::SquareCap, Qt::BevelJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(QPoint(g.left() + 2, g.top() + 2),
                               QPoint(g.right() - 3, g.bottom() - 3)));
    } else {
        // Only the entries around the moving cursor were repainted: let the
        // watcher draw the outline on the panel.
        screenWatcher.highlightRect = QRect(mapToGlobal(QPoint(g.left() + 2, g.top() + 2)),
                                            mapToGlobal(QPoint(g.right() - 2, g.bottom() - 2)));
    }
}
