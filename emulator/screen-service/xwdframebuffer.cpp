#include "xwdframebuffer.h"

#include <QtEndian>

#include <sys/stat.h>

namespace {

// XWD file header: 25 32-bit words, then the window name up to header_size.
enum HeaderWord {
    HeaderSizeWord = 0,
    FileVersionWord = 1,
    PixmapFormatWord = 2,
    PixmapDepthWord = 3,
    PixmapWidthWord = 4,
    PixmapHeightWord = 5,
    ByteOrderWord = 7,
    BitsPerPixelWord = 11,
    BytesPerLineWord = 12,
    RedMaskWord = 14,
    GreenMaskWord = 15,
    BlueMaskWord = 16,
    ColourCountWord = 19,
    HeaderWords = 25,
};
const quint32 XwdVersion = 7;
const quint32 ZPixmap = 2;
const int ColourEntrySize = 12;
const quint32 MaxSide = 16384;

int shiftOf(quint32 mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// A colour channel scaled to 0-255 whatever the mask's width.
int channel(quint32 pixel, quint32 mask, int shift)
{
    const quint32 max = mask >> shift;
    const quint32 value = (pixel & mask) >> shift;
    if (max == 255)
        return int(value);
    return max == 0 ? 0 : int(value * 255 / max);
}

quint64 inodeOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return quint64(st.st_ino);
}

} // namespace

XwdFramebuffer::~XwdFramebuffer()
{
    close();
}

void XwdFramebuffer::close()
{
    pixelData = nullptr;
    writable = false;
    file.close(); // unmaps
    width = height = bpp = bytesPerLine = 0;
    inode = 0;
}

bool XwdFramebuffer::open(const QString& path, QIODevice::OpenMode mode, QString* error)
{
    close();
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        close();
        return false;
    };
    filePath = path;
    file.setFileName(path);
    if (!file.open(mode))
        return fail(file.errorString());
    inode = inodeOf(path);
    const qint64 fileSize = file.size();
    if (fileSize < HeaderWords * 4)
        return fail(QStringLiteral("too short for an XWD header"));
    // Shared: with write access the X server sees what we draw.
    uchar* map = file.map(0, fileSize);
    if (!map)
        return fail(file.errorString());

    // xwd writes its header most significant byte first; take the other
    // order too if that is what makes a version 7 header.
    bool bigEndianHeader = qFromBigEndian<quint32>(map + FileVersionWord * 4) == XwdVersion;
    if (!bigEndianHeader && qFromLittleEndian<quint32>(map + FileVersionWord * 4) != XwdVersion)
        return fail(QStringLiteral("not an XWD file of version 7"));
    auto word = [&](int index) {
        return bigEndianHeader ? qFromBigEndian<quint32>(map + index * 4)
                               : qFromLittleEndian<quint32>(map + index * 4);
    };

    const quint64 headerSize = word(HeaderSizeWord);
    const quint64 colours = word(ColourCountWord);
    if (word(PixmapFormatWord) != ZPixmap)
        return fail(QStringLiteral("pixmap format %1, only ZPixmap is read").arg(word(PixmapFormatWord)));
    const quint32 w = word(PixmapWidthWord);
    const quint32 h = word(PixmapHeightWord);
    const quint32 bits = word(BitsPerPixelWord);
    const quint32 line = word(BytesPerLineWord);
    if (bits != 16 && bits != 24 && bits != 32)
        return fail(QStringLiteral("%1 bits per pixel (depth %2), only 16, 24 and 32 are read")
                        .arg(bits).arg(word(PixmapDepthWord)));
    if (w == 0 || h == 0 || w > MaxSide || h > MaxSide || quint64(line) < quint64(w) * bits / 8)
        return fail(QStringLiteral("bad geometry %1x%2, %3 bytes per line").arg(w).arg(h).arg(line));
    const quint64 offset = headerSize + colours * ColourEntrySize;
    if (headerSize < HeaderWords * 4 || offset + quint64(line) * h > quint64(fileSize))
        return fail(QStringLiteral("pixels run past the end of the file"));
    masks[0] = word(RedMaskWord);
    masks[1] = word(GreenMaskWord);
    masks[2] = word(BlueMaskWord);
    if (!masks[0] || !masks[1] || !masks[2])
        return fail(QStringLiteral("no colour masks (not a true-colour visual)"));

    width = int(w);
    height = int(h);
    bpp = int(bits);
    bytesPerLine = int(line);
    msbFirst = word(ByteOrderWord) != 0;
    pixelData = map + offset;
    writable = (mode & QIODevice::WriteOnly) != 0;
    return true;
}

bool XwdFramebuffer::isReplaced() const
{
    return isOpen() && inodeOf(filePath) != inode;
}

quint64 XwdFramebuffer::checksum() const
{
    if (!isOpen())
        return 0;
    // FNV-1a over 64-bit words: a few hundred microseconds for a 600 x 800
    // screen, cheap enough to poll.
    const qsizetype bytes = qsizetype(bytesPerLine) * height;
    quint64 h = 1469598103934665603ull;
    qsizetype i = 0;
    for (; i + 8 <= bytes; i += 8) {
        h ^= qFromUnaligned<quint64>(pixelData + i);
        h *= 1099511628211ull;
    }
    for (; i < bytes; ++i) {
        h ^= pixelData[i];
        h *= 1099511628211ull;
    }
    return h;
}

QByteArray XwdFramebuffer::grey() const
{
    if (!isOpen())
        return QByteArray();
    QByteArray out(width * height, Qt::Uninitialized);
    uchar* dst = reinterpret_cast<uchar*>(out.data());
    const int shifts[3] = {shiftOf(masks[0]), shiftOf(masks[1]), shiftOf(masks[2])};
    const int bytesPerPixel = bpp / 8;
    for (int y = 0; y < height; ++y) {
        const uchar* src = pixelData + qsizetype(y) * bytesPerLine;
        for (int x = 0; x < width; ++x, src += bytesPerPixel) {
            quint32 pixel = 0;
            for (int b = 0; b < bytesPerPixel; ++b) {
                const int shift = msbFirst ? (bytesPerPixel - 1 - b) * 8 : b * 8;
                pixel |= quint32(src[b]) << shift;
            }
            *dst++ = uchar(greyOf(channel(pixel, masks[0], shifts[0]), channel(pixel, masks[1], shifts[1]),
                                  channel(pixel, masks[2], shifts[2])));
        }
    }
    return out;
}

void XwdFramebuffer::setGrey(int x, int y, int grey)
{
    if (!writable || x < 0 || y < 0 || x >= width || y >= height)
        return;
    const quint32 g = quint32(qBound(0, grey, 255));
    quint32 pixel = 0;
    for (const quint32 mask : masks) {
        const int shift = shiftOf(mask);
        const quint32 max = mask >> shift;
        pixel |= (((g * max + 127) / 255) << shift) & mask;
    }
    const int bytesPerPixel = bpp / 8;
    uchar* dst = pixelData + qsizetype(y) * bytesPerLine + qsizetype(x) * bytesPerPixel;
    for (int b = 0; b < bytesPerPixel; ++b) {
        const int shift = msbFirst ? (bytesPerPixel - 1 - b) * 8 : b * 8;
        dst[b] = uchar(pixel >> shift);
    }
}
