#include "utilities/rotationwidget.h"

#include <QFontInfo>
#include <QPainter>
#include <QPolygon>

namespace ui {

namespace {

const char* const PreferredFamilies[] = {"Droid Serif", "Droid Sans", "DejaVu Sans"};
const char* const Label = "ABC";
const int LabelPointSize = 32;
const int FramePenWidth = 5;

QPen pen(int width)
{
    return QPen(QBrush(Qt::black), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

RotationWidget::RotationWidget(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(Side, Side);
    for (const char* family : PreferredFamilies) {
        const QString wanted = QString::fromLatin1(family);
        // A missing family is silently replaced: take only an exact answer.
        if (QFontInfo(QFont(wanted)).family() == wanted) {
            fontFamily = wanted;
            break;
        }
    }
}

void RotationWidget::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    const int s = qMin(w, h);
    const int q = s / 4;
    const int half = s / 2;
    const int cx = w / 2;
    const int cy = h / 2;

    QPainter painter(this);
    painter.setPen(pen(FramePenWidth));
    painter.setFont(QFont(fontFamily, LabelPointSize, QFont::Normal, false));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cx - q, cy - q, half, half);

    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    painter.drawRect(cx - q + 6, cy - q + 6, half - 12, half - 12);
    painter.setBrush(Qt::white);
    painter.drawEllipse(cx - q + 12, cy - q + 12, half - 24, half - 24);

    // The mark at the bottom of the circle: this side is down now.
    painter.setBrush(Qt::black);
    painter.setPen(pen(1));
    const QPolygon mark({QPoint(cx, cy + q - 12), QPoint(cx + 10, cy + q - 25),
                         QPoint(cx - 10, cy + q - 25)});
    painter.drawPolygon(mark, Qt::OddEvenFill);

    for (int angle = 0; angle < 360; angle += 90) {
        QTransform turn;
        turn.translate(cx, cy);
        turn.rotate(angle);
        painter.setWorldTransform(turn);
        painter.drawText(QRect(-q, s / 8, half, half), Qt::AlignCenter, QString::fromLatin1(Label));
    }
}

} // namespace ui
