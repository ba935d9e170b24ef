#include "xwdframebuffer.h"

#include <QtEndian>

#include <sys/stat.h>

namespace {

// XWD file header: 25 32-bit words, then the window name up to header_size.
enum HeaderWord {
    kHeaderSize = 0,
    kFileVersion = 1,
    kPixmapFormat = 2,
    kPixmapDepth = 3,
    kPixmapWidth = 4,
    kPixmapHeight = 5,
    kByteOrder = 7,
    kBitsPerPixel = 11,
    kBytesPerLine = 12,
    kRedMask = 14,
    kGreenMask = 15,
    kBlueMask = 16,
    kColormapEntries = 18,
    kNColors = 19,
    kHeaderWords = 25,
};
constexpr quint32 kXwdVersion = 7;
constexpr quint32 kZPixmap = 2;
constexpr int kColorEntrySize = 12;

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
    file.close(); // unmaps
    width = height = bpp = bytesPerLine = 0;
    inode = 0;
}

bool XwdFramebuffer::open(const QString& path, QString* error)
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
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    inode = inodeOf(path);
    const qint64 fileSize = file.size();
    if (fileSize < kHeaderWords * 4)
        return fail(QStringLiteral("too short for an XWD header"));
    const uchar* map = file.map(0, fileSize);
    if (!map)
        return fail(file.errorString());

    // xwd writes its header most significant byte first; take the other
    // order too if that is what makes a version 7 header.
    bool bigEndianHeader = qFromBigEndian<quint32>(map + kFileVersion * 4) == kXwdVersion;
    if (!bigEndianHeader && qFromLittleEndian<quint32>(map + kFileVersion * 4) != kXwdVersion)
        return fail(QStringLiteral("not an XWD file of version 7"));
    auto word = [&](int index) {
        return bigEndianHeader ? qFromBigEndian<quint32>(map + index * 4)
                               : qFromLittleEndian<quint32>(map + index * 4);
    };

    const quint64 headerSize = word(kHeaderSize);
    const quint64 colours = word(kNColors);
    if (word(kPixmapFormat) != kZPixmap)
        return fail(QStringLiteral("pixmap format %1, only ZPixmap is read").arg(word(kPixmapFormat)));
    const quint32 w = word(kPixmapWidth);
    const quint32 h = word(kPixmapHeight);
    const quint32 bits = word(kBitsPerPixel);
    const quint32 line = word(kBytesPerLine);
    if (bits != 16 && bits != 24 && bits != 32)
        return fail(QStringLiteral("%1 bits per pixel (depth %2), only 16, 24 and 32 are read")
                        .arg(bits).arg(word(kPixmapDepth)));
    if (w == 0 || h == 0 || w > 16384 || h > 16384 || quint64(line) < quint64(w) * bits / 8)
        return fail(QStringLiteral("bad geometry %1x%2, %3 bytes per line").arg(w).arg(h).arg(line));
    const quint64 offset = headerSize + colours * kColorEntrySize;
    if (headerSize < kHeaderWords * 4 || offset + quint64(line) * h > quint64(fileSize))
        return fail(QStringLiteral("pixels run past the end of the file"));
    masks[0] = word(kRedMask);
    masks[1] = word(kGreenMask);
    masks[2] = word(kBlueMask);
    if (!masks[0] || !masks[1] || !masks[2])
        return fail(QStringLiteral("no colour masks (not a true-colour visual)"));
    Q_UNUSED(kColormapEntries);

    width = int(w);
    height = int(h);
    bpp = int(bits);
    bytesPerLine = int(line);
    msbFirst = word(kByteOrder) != 0;
    pixelData = map + offset;
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
