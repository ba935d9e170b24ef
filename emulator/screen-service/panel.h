#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>

// The e-ink panel's own picture: 8-bit grey, in the panel's physical
// orientation, white when the device starts. It changes only when a command
// says so; whatever the program painted but never asked to show stays
// invisible, as on the device.
class Panel
{
public:
    enum Waveform { DW = 1, GU = 3, GC = 4 };
    static constexpr int LEVELS = 16;
    static constexpr uchar WHITE = 255;

    // What one command did to the panel.
    struct Change
    {
        qint64 covered = 0; // pixels the command addressed
        qint64 changed = 0; // pixels whose value it changed
    };

    explicit Panel(const QSize& size);

    QSize size() const { return panelSize; }
    const QByteArray& pixels() const { return picture; }
    uchar pixel(int x, int y) const { return uchar(picture.at(y * panelSize.width() + x)); }
    bool isOutline(int x, int y) const { return outline.at(y * panelSize.width() + x) != 0; }

    // Copies the region (panel coordinates) of the source, a grey picture of
    // sourceSize in the panel's orientation, rendered by the waveform.
    // A region outside the panel or the source is clipped.
    Change update(const QRect& region, const QByteArray& source, const QSize& sourceSize, int waveform);
    // A polyline drawn straight onto the panel with a square pen.
    Change drawLines(const QVector<QPoint>& points, int color, int width);
    Change fill(int color, int waveform);

    // Pixels last set by a line and not updated since.
    qint64 outlinePixels() const { return outlineCount; }
    // Pixels where the source, as the panel would render it in 16 greys,
    // differs from the panel; outline pixels do not count.
    qint64 staleAgainst(const QByteArray& source, const QSize& sourceSize) const;

    // The grey a waveform can show for a requested grey: DW knows black and
    // white only, the others 16 levels.
    static uchar render(int grey, int waveform);

    // The framebuffer (logical orientation, logicalSize) turned into the
    // panel's orientation by the display rotation, the way the screen client
    // maps regions. Returns the turned size in physicalSize.
    static QByteArray toPhysical(const QByteArray& logical, const QSize& logicalSize, int degrees,
                                 QSize* physicalSize);

private:
    void plot(int x, int y, uchar value, int width, Change* change);

    QSize panelSize;
    QByteArray picture;
    QByteArray outline; // one byte per pixel, 1 where a line set it
    qint64 outlineCount = 0;
};
