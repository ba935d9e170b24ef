#pragma once
// Test helper: an XWD file laid out as Xvfb -fbdir keeps it, mapped
// read-write so a test can draw into it as the X server would.

#include <QFile>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtEndian>

struct FakeXwdFormat
{
    int bitsPerPixel = 32;
    bool msbPixels = false;   // pixel byte order
    bool littleHeader = false; // header byte order (xwd itself writes MSB first)
    int colours = 256;        // colour map entries before the pixels
    int linePad = 8;          // extra bytes at the end of each line
};

class FakeXwd
{
public:
    using Format = FakeXwdFormat;

    bool create(const QString& path, QSize size, const Format& format = Format())
    {
        fmt = format;
        screen = size;
        const QByteArray name("Xvfb test:0.0");
        headerSize = 100 + name.size() + 1;
        bytesPerPixel = format.bitsPerPixel / 8;
        bytesPerLine = size.width() * bytesPerPixel + format.linePad;
        pixelOffset = headerSize + format.colours * 12;
        file.setFileName(path);
        if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate))
            return false;
        if (!file.resize(pixelOffset + qint64(bytesPerLine) * size.height()))
            return false;
        map = file.map(0, file.size());
        if (!map)
            return false;
        const bool rgb565 = format.bitsPerPixel == 16;
        const quint32 words[25] = {
            quint32(headerSize), 7, 2, quint32(rgb565 ? 16 : 24), quint32(size.width()), quint32(size.height()), 0,
            quint32(format.msbPixels ? 1 : 0), 32, 0, 32, quint32(format.bitsPerPixel), quint32(bytesPerLine),
            4 /* TrueColor */, rgb565 ? 0xf800u : 0xff0000u, rgb565 ? 0x07e0u : 0x00ff00u,
            rgb565 ? 0x001fu : 0x0000ffu, 8, quint32(format.colours), quint32(format.colours),
            quint32(size.width()), quint32(size.height()), 0, 0, 0};
        for (int i = 0; i < 25; ++i) {
            if (format.littleHeader)
                qToLittleEndian(words[i], map + i * 4);
            else
                qToBigEndian(words[i], map + i * 4);
        }
        memcpy(map + 100, name.constData(), size_t(name.size()));
        fill(QRect(QPoint(0, 0), size), 255, 255, 255);
        return true;
    }

    void set(int x, int y, int r, int g, int b)
    {
        quint32 pixel;
        if (fmt.bitsPerPixel == 16)
            pixel = quint32((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        else
            pixel = quint32(r << 16 | g << 8 | b);
        uchar* p = map + pixelOffset + qint64(y) * bytesPerLine + x * bytesPerPixel;
        for (int i = 0; i < bytesPerPixel; ++i) {
            const int shift = fmt.msbPixels ? (bytesPerPixel - 1 - i) * 8 : i * 8;
            p[i] = uchar(pixel >> shift);
        }
    }
    void fill(const QRect& r, int red, int green, int blue)
    {
        const QRect a = r.intersected(QRect(QPoint(0, 0), screen));
        for (int y = a.top(); y <= a.bottom(); ++y)
            for (int x = a.left(); x <= a.right(); ++x)
                set(x, y, red, green, blue);
    }
    void fillGrey(const QRect& r, int grey) { fill(r, grey, grey, grey); }

    QSize size() const { return screen; }

private:
    QFile file;
    Format fmt;
    QSize screen;
    uchar* map = nullptr;
    int headerSize = 0;
    int bytesPerPixel = 4;
    int bytesPerLine = 0;
    qint64 pixelOffset = 0;
};
