#include "panel.h"

namespace {

uchar level16(int grey)
{
    const int g = qBound(0, grey, 255);
    // Nearest of 0, 17, 34, ... 255.
    return uchar(((g * (Panel::Levels - 1) + 127) / 255) * 17);
}

} // namespace

Panel::Panel(const QSize& size)
    : panelSize(size)
    , picture(size.width() * size.height(), char(White))
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
        }
    }
    change.covered = qint64(area.width()) * area.height();
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
            if (dst[i] != table[src[y * sourceSize.width() + x]])
                ++stale;
        }
    }
    return stale;
}

QRect Panel::mapToPanel(const QRect& logical, const QSize& screen, int degrees)
{
    const QRect r = logical.intersected(QRect(QPoint(0, 0), screen));
    if (r.isEmpty())
        return QRect();
    const int w = screen.width();
    const int h = screen.height();
    switch (degrees) {
    case 90: // the screen's top edge runs down the panel's left edge
        return QRect(QPoint(r.top(), w - 1 - r.right()), QPoint(r.bottom(), w - 1 - r.left()));
    case 180:
        return QRect(QPoint(w - 1 - r.right(), h - 1 - r.bottom()), QPoint(w - 1 - r.left(), h - 1 - r.top()));
    case 270:
        return QRect(QPoint(h - 1 - r.bottom(), r.left()), QPoint(h - 1 - r.top(), r.right()));
    default:
        return r;
    }
}

QPoint Panel::mapFromPanel(const QPoint& p, const QSize& screen, int degrees)
{
    const int w = screen.width();
    const int h = screen.height();
    switch (degrees) {
    case 90:
        return QPoint(w - 1 - p.y(), p.x());
    case 180:
        return QPoint(w - 1 - p.x(), h - 1 - p.y());
    case 270:
        return QPoint(p.y(), h - 1 - p.x());
    default:
        return p;
    }
}

QByteArray Panel::toPhysical(const QByteArray& logical, const QSize& logicalSize, int degrees,
                             QSize* physicalSize)
{
    const bool quarter = degrees == 90 || degrees == 270;
    const QSize turned = quarter ? logicalSize.transposed() : logicalSize;
    if (physicalSize)
        *physicalSize = turned;
    if (degrees == 0 || logicalSize.isEmpty())
        return logical;

    // Where a logical pixel lands: an origin and one step for x and one for y.
    auto at = [&](int x, int y) { return mapToPanel(QRect(x, y, 1, 1), logicalSize, degrees).topLeft(); };
    const QPoint origin = at(0, 0);
    const QPoint stepX = logicalSize.width() > 1 ? at(1, 0) - origin : QPoint(0, 0);
    const QPoint stepY = logicalSize.height() > 1 ? at(0, 1) - origin : QPoint(0, 0);

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
