#include "support/files.h"

#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

bool support::writeFile(const QString& path, const QByteArray& data, int mode)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        return false;
    f.close();
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

QByteArray support::readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

int support::modeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

ino_t support::inodeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

bool support::freshDir(const QString& path)
{
    // True for a directory that is not there.
    return QDir(path).removeRecursively() && QDir().mkpath(path);
}

QMap<QString, QByteArray> support::treeOf(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString relative = path.mid(root.size() + 1);
        if (info.isSymLink()) {
            char target[4096];
            const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
            tree.insert(relative, "-> " + QByteArray(target, n < 0 ? 0 : int(n)));
        } else if (info.isDir()) {
            tree.insert(relative + QLatin1Char('/'), QByteArray());
        } else if (info.isFile()) {
            tree.insert(relative, readFile(path));
        } else {
            // Opening a pipe would wait for a writer.
            tree.insert(relative, "<special>");
        }
    }
    return tree;
}

QMap<QString, QString> support::statusOf(const QString& root)
{
    QMap<QString, QString> status;
    const QStringList entries = treeOf(root).keys();
    for (const QString& relative : entries) {
        struct stat st;
        const QString path = root + QLatin1Char('/') + relative;
        if (::lstat(QFile::encodeName(QDir::cleanPath(path)).constData(), &st) == 0)
            status.insert(relative, QStringLiteral("%1 %2.%3").arg(st.st_mode, 0, 8)
                                        .arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec));
    }
    return status;
}

bool support::mountTmpfs(const QString& path, const QString& size)
{
    QDir().mkpath(path);
    QProcess::execute(QStringLiteral("umount"), { path });
    return QProcess::execute(QStringLiteral("mount"),
                             { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=") + size, QStringLiteral("lirro-test"), path })
           == 0;
}

QByteArray support::makeZip(const QList<QPair<QByteArray, QByteArray>>& entries)
{
    QByteArray local, central, end;
    QDataStream l(&local, QIODevice::WriteOnly), c(&central, QIODevice::WriteOnly), e(&end, QIODevice::WriteOnly);
    for (QDataStream* s : { &l, &c, &e })
        s->setByteOrder(QDataStream::LittleEndian);
    for (const auto& [name, bytes] : entries) {
        quint32 crc = 0xffffffffu;
        for (const char ch : bytes) {
            crc ^= quint8(ch);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        const quint32 offset = quint32(local.size()), size = quint32(bytes.size());
        // Stored, dated 1980-01-01; the central record adds the maker's
        // version, comment, disk and attributes (a plain 0644 file).
        l << 0x04034b50u << quint16(10) << quint16(0) << quint16(0) << quint16(0) << quint16(0x21) << ~crc << size
          << size << quint16(name.size()) << quint16(0);
        l.writeRawData(name.constData(), name.size());
        l.writeRawData(bytes.constData(), bytes.size());
        c << 0x02014b50u << quint16((3 << 8) | 20) << quint16(10) << quint16(0) << quint16(0) << quint16(0)
          << quint16(0x21) << ~crc << size << size << quint16(name.size()) << quint16(0) << quint16(0) << quint16(0)
          << quint16(0) << (0100644u << 16) << offset;
        c.writeRawData(name.constData(), name.size());
    }
    e << 0x06054b50u << quint16(0) << quint16(0) << quint16(entries.size()) << quint16(entries.size())
      << quint32(central.size()) << quint32(local.size()) << quint16(0);
    return local + central + end;
}

bool support::setReadOverride(bool on)
{
    __user_cap_header_struct header{ _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2];
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective = on ? data[0].effective | mask : data[0].effective & ~mask;
    return syscall(SYS_capset, &header, data) == 0;
}
