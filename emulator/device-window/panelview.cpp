#include "panelview.h"

#include "inputtranslator.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
const QColor Background(64, 64, 64);
}

PanelView::PanelView(const QSize& panelSize, InputTranslator* input, QWidget* parent)
    : QWidget(parent)
    , panelSize(panelSize)
    , input(input)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelView::setImage(const QImage& picture)
{
    image = picture;
    update();
}

void PanelView::setMessage(const QString& text)
{
    message = text;
    update();
}

QSize PanelView::sizeHint() const
{
    return panelSize;
}

QRect PanelView::panelRect() const
{
    if (panelSize.isEmpty())
        return {};
    // Never enlarged: one panel pixel is one screen pixel, unless it does not fit.
    const double scale = std::min({1.0, double(width()) / panelSize.width(),
                                   double(height()) / panelSize.height()});
    const QSize shown(std::max(1, int(panelSize.width() * scale + 0.5)),
                      std::max(1, int(panelSize.height() * scale + 0.5)));
    return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

QPoint PanelView::toPanel(const QPoint& widgetPos) const
{
    const QRect r = panelRect();
    if (r.isEmpty())
        return {};
    const int x = int(qint64(widgetPos.x() - r.x()) * panelSize.width() / r.width());
    const int y = int(qint64(widgetPos.y() - r.y()) * panelSize.height() / r.height());
    return QPoint(std::clamp(x, 0, panelSize.width() - 1), std::clamp(y, 0, panelSize.height() - 1));
}

void PanelView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Background);
    const QRect target = panelRect();
    if (image.isNull()) {
        painter.fillRect(target, Qt::white);
    } else if (target.size() == image.size()) {
        painter.drawImage(target.topLeft(), image);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
    }
    if (!message.isEmpty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(target.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, message);
    }
}

void PanelView::keyPressEvent(QKeyEvent* event)
{
    if (!input->key(event->key(), event->isAutoRepeat()))
        QWidget::keyPressEvent(event);
}

void PanelView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && panelRect().contains(event->pos()))
        input->press(toPanel(event->pos()));
}

void PanelView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && panelRect().contains(event->pos()))
        input->doubleClick(toPanel(event->pos()));
}

void PanelView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        input->move(toPanel(event->pos()));
}

void PanelView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        input->release(toPanel(event->pos()));
}
