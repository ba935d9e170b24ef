#include "browser/delegate.h"

#include "browser/screen_watcher.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTransform>
#include <QWidget>

namespace {

// Rows are a little taller than the style's default, for touch.
const int ExtraRowHeight = 6;

} // namespace

DELEGATE::DELEGATE(QObject* parent, QAbstractItemDelegate* base)
    : QAbstractItemDelegate(parent)
    , baseDelegate(base)
{
}

void DELEGATE::paint(QPainter* painter, const QStyleOptionViewItem& option,
                     const QModelIndex& index) const
{
    const QStyle::State marks = QStyle::State_Selected | QStyle::State_HasFocus;
    const QStyle::State state = option.state & marks;

    // The base never draws a filled selection or a focus frame.
    QStyleOptionViewItem plain(option);
    plain.state &= ~marks;
    baseDelegate->paint(painter, plain, index);

    if (!state || index.column() != 0)
        return;

    QRect r = option.rect.intersected(painter->viewport());
    r.setTop(r.top() + 1);
    r.setBottom(r.bottom() - 1);

    if (fastHighlight && state == marks) {
        // The device transform leads to the top-level window's backing
        // store; the watcher wants screen coordinates.
        QRect mapped = painter->deviceTransform().mapRect(r);
        const QPaintDevice* device = painter->device();
        if (device != nullptr && device->devType() == QInternal::Widget) {
            const QWidget* widget = static_cast<const QWidget*>(device);
            mapped.translate(widget->window()->mapToGlobal(QPoint(0, 0)));
        }
        screenWatcher.highlightRect = mapped;
        return;
    }

    r.setWidth(r.width() - 1);
    r.setHeight(r.height() - 1);
    painter->save();
    painter->setPen(QPen(QBrush(Qt::black, Qt::SolidPattern), 1.0,
                         (state & QStyle::State_Selected) ? Qt::SolidLine : Qt::DotLine,
                         Qt::SquareCap, Qt::BevelJoin));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(r);
    painter->restore();
}

QSize DELEGATE::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = baseDelegate->sizeHint(option, index);
    size.setHeight(size.height() + ExtraRowHeight);
    return size;
}
