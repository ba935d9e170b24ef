#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>

// The e-ink panel's own picture: 8-bit grey, in the panel's physical
// orientation, white when the device starts. It changes only when a command
// says so; whatever the program painted but never asked to show stays
// invisible, as on the device.
class Panel
{
public:
    enum Waveform { DW = 1, GU = 3, GC = 4 };
    static constexpr int Levels = 16;
    static constexpr uchar White = 255;

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

    // Copies the region (panel coordinates) of the source, a grey picture of
    // sourceSize in the panel's orientation, rendered by the waveform.
    // A region outside the panel or the source is clipped.
    Change update(const QRect& region, const QByteArray& source, const QSize& sourceSize, int waveform);
    Change fill(int color, int waveform);

    // Pixels where the source, as the panel would render it in 16 greys,
    // differs from the panel.
    qint64 staleAgainst(const QByteArray& source, const QSize& sourceSize) const;

    // The grey a waveform can show for a requested grey: DW knows black and
    // white only, the others 16 levels.
    static uchar render(int grey, int waveform);

    // Where a rectangle of the program's screen (logical, screen's size)
    // lies on the panel when the screen is turned by degrees: a quarter turn
    // swaps the sides. Written here, apart from the program's own mapping,
    // so that a fault in that one shows against this one.
    static QRect mapToPanel(const QRect& logical, const QSize& screen, int degrees);
    // The screen pixel shown at a panel pixel (the inverse of mapToPanel).
    static QPoint mapFromPanel(const QPoint& panel, const QSize& screen, int degrees);

    // The framebuffer (logical orientation, logicalSize) turned into the
    // panel's orientation. Returns the turned size in physicalSize.
    static QByteArray toPhysical(const QByteArray& logical, const QSize& logicalSize, int degrees,
                                 QSize* physicalSize);

private:
    QSize panelSize;
    QByteArray picture;
};
