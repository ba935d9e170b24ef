#include "panel.h"

#include "platform/screen/screenproxy.h"

#include <cstdlib>

namespace {

uchar level16(int grey)
{
    const int g = qBound(0, grey, 255);
    // Nearest of 0, 17, 34, ... 255.
    return uchar(((g * (Panel::LEVELS - 1) + 127) / 255) * 17);
}

} // namespace

Panel::Panel(const QSize& size)
    : panelSize(size)
    , picture(size.width() * size.height(), char(WHITE))
    , outline(size.width() * size.height(), 0)
{
}

uchar Panel::render(int grey, int waveform)
{
    if (waveform == DW)
        return grey >= 128 ? 255 : 0;
    return level16(grey);
}

Panel::Change Panel::update(const QRect& region, const QByteArray& source, const QSize& sourceSize,
                            int waveform)
{
    Change change;
    const QRect area = region.intersected(QRect(QPoint(0, 0), panelSize)).intersected(QRect(QPoint(0, 0), sourceSize));
    if (area.isEmpty() || source.size() < sourceSize.width() * sourceSize.height())
        return change;
    const int pw = panelSize.width();
    uchar* dst = reinterpret_cast<uchar*>(picture.data());
    char* mark = outline.data();
    const uchar* src = reinterpret_cast<const uchar*>(source.constData());
    // Render through a table: one lookup per pixel.
    uchar table[256];
    for (int g = 0; g < 256; ++g)
        table[g] = render(g, waveform);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const int i = y * pw + x;
            const uchar value = table[src[y * sourceSize.width() + x]];
            if (dst[i] != value) {
                dst[i] = value;
                ++change.changed;
            }
            if (mark[i]) {
                mark[i] = 0;
                --outlineCount;
            }
        }
    }
    change.covered = qint64(area.width()) * area.height();
    return change;
}

void Panel::plot(int x, int y, uchar value, int width, Change* change)
{
    // A square pen centred on the point, as wide as the line.
    const int from = -(width - 1) / 2;
    const QRect pen = QRect(x + from, y + from, width, width).intersected(QRect(QPoint(0, 0), panelSize));
    uchar* dst = reinterpret_cast<uchar*>(picture.data());
    for (int py = pen.top(); py <= pen.bottom(); ++py) {
        for (int px = pen.left(); px <= pen.right(); ++px) {
            const int i = py * panelSize.width() + px;
            if (!outline[i]) {
                outline[i] = 1;
                ++outlineCount;
                ++change->covered;
            }
            if (dst[i] != value) {
                dst[i] = value;
                ++change->changed;
            }
        }
    }
}

Panel::Change Panel::drawLines(const QVector<QPoint>& points, int color, int width)
{
    Change change;
    const uchar value = level16(color);
    const int pen = qMax(1, width);
    if (points.size() == 1)
        plot(points[0].x(), points[0].y(), value, pen, &change);
    for (int n = 1; n < points.size(); ++n) {
        // Bresenham, every step of the segment including both ends.
        int x = points[n - 1].x();
        int y = points[n - 1].y();
        const int x2 = points[n].x();
        const int y2 = points[n].y();
        // Segments far off the panel cost nothing but time; keep them short.
        if (std::abs(qint64(x2) - x) > 4 * 16384 || std::abs(qint64(y2) - y) > 4 * 16384)
            continue;
        const int dx = std::abs(x2 - x);
        const int dy = -std::abs(y2 - y);
        const int sx = x < x2 ? 1 : -1;
        const int sy = y < y2 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            plot(x, y, value, pen, &change);
            if (x == x2 && y == y2)
                break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }
    return change;
}

Panel::Change Panel::fill(int color, int waveform)
{
    Change change;
    const uchar value = render(color, waveform);
    uchar* dst = reinterpret_cast<uchar*>(picture.data());
    for (int i = 0; i < picture.size(); ++i) {
        if (dst[i] != value) {
            dst[i] = value;
            ++change.changed;
        }
    }
    outline.fill(0);
    outlineCount = 0;
    change.covered = picture.size();
    return change;
}

qint64 Panel::staleAgainst(const QByteArray& source, const QSize& sourceSize) const
{
    const QRect area = QRect(QPoint(0, 0), panelSize).intersected(QRect(QPoint(0, 0), sourceSize));
    if (area.isEmpty() || source.size() < sourceSize.width() * sourceSize.height())
        return 0;
    uchar table[256];
    for (int g = 0; g < 256; ++g)
        table[g] = level16(g);
    const uchar* dst = reinterpret_cast<const uchar*>(picture.constData());
    const uchar* src = reinterpret_cast<const uchar*>(source.constData());
    qint64 stale = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const int i = y * panelSize.width() + x;
            if (!outline[i] && dst[i] != table[src[y * sourceSize.width() + x]])
                ++stale;
        }
    }
    return stale;
}

QByteArray Panel::toPhysical(const QByteArray& logical, const QSize& logicalSize, int degrees,
                             QSize* physicalSize)
{
    using vexa::screen::ScreenProxy;
    const QRect screen(QPoint(0, 0), logicalSize);
    const bool quarter = degrees == 90 || degrees == 270;
    const QSize turned = quarter ? logicalSize.transposed() : logicalSize;
    if (physicalSize)
        *physicalSize = turned;
    if (degrees == 0 || logicalSize.isEmpty())
        return logical;

    // The client's own region mapping, taken at three pixels, gives where a
    // logical pixel lands: an origin and one step for x and one for y. Kept
    // for the next call, which nearly always has the same screen.
    struct Steps {
        QSize size;
        int degrees = -1;
        QPoint origin, stepX, stepY;
    };
    static Steps steps;
    if (steps.size != logicalSize || steps.degrees != degrees) {
        auto at = [&](int x, int y) { return ScreenProxy::mapToPanel(QRect(x, y, 1, 1), screen, degrees).topLeft(); };
        steps.size = logicalSize;
        steps.degrees = degrees;
        steps.origin = at(0, 0);
        steps.stepX = logicalSize.width() > 1 ? at(1, 0) - steps.origin : QPoint(0, 0);
        steps.stepY = logicalSize.height() > 1 ? at(0, 1) - steps.origin : QPoint(0, 0);
    }
    const QPoint origin = steps.origin;
    const QPoint stepX = steps.stepX;
    const QPoint stepY = steps.stepY;

    QByteArray out(turned.width() * turned.height(), Qt::Uninitialized);
    char* dst = out.data();
    const char* src = logical.constData();
    for (int y = 0; y < logicalSize.height(); ++y) {
        QPoint p = origin + stepY * y;
        for (int x = 0; x < logicalSize.width(); ++x, p += stepX)
            dst[p.y() * turned.width() + p.x()] = src[y * logicalSize.width() + x];
    }
    return out;
}
