#include "panelview.h"

#include "inputtranslator.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
const QColor kBackground(64, 64, 64);
}

PanelView::PanelView(const QSize& panelSize, InputTranslator* input, QWidget* parent)
    : QWidget(parent)
    , m_panelSize(panelSize)
    , m_input(input)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelView::setImage(const QImage& image)
{
    m_image = image;
    update();
}

void PanelView::setMessage(const QString& message)
{
    m_message = message;
    update();
}

QSize PanelView::sizeHint() const
{
    return m_panelSize;
}

QRect PanelView::panelRect() const
{
    if (m_panelSize.isEmpty())
        return {};
    // Never enlarged: one panel pixel is one screen pixel, unless it does not fit.
    const double scale = std::min({1.0, double(width()) / m_panelSize.width(),
                                   double(height()) / m_panelSize.height()});
    const QSize shown(std::max(1, int(m_panelSize.width() * scale + 0.5)),
                      std::max(1, int(m_panelSize.height() * scale + 0.5)));
    return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

QPoint PanelView::toPanel(const QPoint& widgetPos) const
{
    const QRect r = panelRect();
    if (r.isEmpty())
        return {};
    const int x = int(qint64(widgetPos.x() - r.x()) * m_panelSize.width() / r.width());
    const int y = int(qint64(widgetPos.y() - r.y()) * m_panelSize.height() / r.height());
    return QPoint(std::clamp(x, 0, m_panelSize.width() - 1), std::clamp(y, 0, m_panelSize.height() - 1));
}

void PanelView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const QRect target = panelRect();
    if (m_image.isNull()) {
        painter.fillRect(target, Qt::white);
    } else if (target.size() == m_image.size()) {
        painter.drawImage(target.topLeft(), m_image);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_image);
    }
    if (!m_message.isEmpty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(target.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_message);
    }
}

void PanelView::keyPressEvent(QKeyEvent* event)
{
    if (!m_input->key(event->key(), event->isAutoRepeat()))
        QWidget::keyPressEvent(event);
}

void PanelView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && panelRect().contains(event->pos()))
        m_input->press(toPanel(event->pos()));
}

void PanelView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && panelRect().contains(event->pos()))
        m_input->doubleClick(toPanel(event->pos()));
}

void PanelView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        m_input->move(toPanel(event->pos()));
}

void PanelView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_input->release(toPanel(event->pos()));
}
