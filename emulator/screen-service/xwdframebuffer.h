#pragma once

#include <QByteArray>
#include <QFile>
#include <QSize>
#include <QString>

// The X server's screen as Xvfb exports it with -fbdir: an XWD file
// (header, colour map, then the pixels) that the server keeps mapped shared
// and draws into. Mapped read-write, a write here changes the X screen, as
// the device's screen service draws into the frame buffer it shares with
// the program.
class XwdFramebuffer
{
public:
    XwdFramebuffer() = default;
    ~XwdFramebuffer();
    XwdFramebuffer(const XwdFramebuffer&) = delete;
    XwdFramebuffer& operator=(const XwdFramebuffer&) = delete;

    // Maps the file and reads its header; false (with a reason) when it is
    // missing, truncated or in a pixel format we cannot read. ReadWrite
    // allows setGrey().
    bool open(const QString& path, QIODevice::OpenMode mode = QIODevice::ReadOnly, QString* error = nullptr);
    void close();
    bool isOpen() const { return pixelData != nullptr; }
    // True when the file at the path is no longer the one mapped (the X
    // server was restarted or the file went away).
    bool isReplaced() const;

    QSize size() const { return QSize(width, height); }
    int bitsPerPixel() const { return bpp; }

    // Cheap fingerprint of the pixels, to notice that the server drew.
    quint64 checksum() const;
    // The screen as 8-bit grey, row after row, in the server's (logical)
    // orientation; empty when not open.
    QByteArray grey() const;
    // Draws one pixel of this grey at x, y (logical orientation), in the
    // screen's own pixel format; outside the screen or read-only: nothing.
    void setGrey(int x, int y, int grey);

    // Grey of an RGB colour, as the panel's controller would see it.
    static int greyOf(int red, int green, int blue)
    {
        return (red * 299 + green * 587 + blue * 114 + 500) / 1000;
    }

private:
    QFile file;
    QString filePath;
    quint64 inode = 0;
    uchar* pixelData = nullptr;
    bool writable = false;
    int width = 0;
    int height = 0;
    int bpp = 0;
    int bytesPerLine = 0;
    bool msbFirst = false;
    quint32 masks[3] = {0, 0, 0};
};
