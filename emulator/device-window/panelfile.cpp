#include "panelfile.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {
// A missed notification costs at most this long.
const int PollMs = 250;
}

PanelFile::PanelFile(const QString& path, const QSize& size, QObject* parent)
    : QObject(parent)
    , filePath(path)
    , pictureSize(size)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (QFileInfo(dir).isDir())
        watcher.addPath(dir);
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &PanelFile::check);
    pollTimer.setInterval(PollMs);
    connect(&pollTimer, &QTimer::timeout, this, [this] {
        // The directory may appear only once the device has started.
        if (watcher.directories().isEmpty()) {
            const QString dir = QFileInfo(filePath).absolutePath();
            if (QFileInfo(dir).isDir())
                watcher.addPath(dir);
        }
        check();
    });
    pollTimer.start();
}

QImage PanelFile::read(const QString& path, const QSize& size, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("no panel picture yet (%1)").arg(path);
        return {};
    }
    const QByteArray bytes = file.readAll();
    const qint64 expected = qint64(size.width()) * size.height();
    if (size.isEmpty() || bytes.size() != expected) {
        if (error)
            *error = QStringLiteral("panel picture has %1 bytes, a %2x%3 panel needs %4")
                         .arg(bytes.size()).arg(size.width()).arg(size.height()).arg(expected);
        return {};
    }
    QImage image(size, QImage::Format_Grayscale8);
    for (int y = 0; y < size.height(); ++y)
        memcpy(image.scanLine(y), bytes.constData() + qint64(y) * size.width(), size_t(size.width()));
    return image;
}

PanelFile::Stamp PanelFile::stampOf(const QString& path)
{
    struct stat st;
    Stamp stamp;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        stamp.inode = qint64(st.st_ino);
        stamp.size = qint64(st.st_size);
        stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return stamp;
}

void PanelFile::check()
{
    const Stamp stamp = stampOf(filePath);
    if (checked && stamp == lastStamp)
        return;
    checked = true;
    lastStamp = stamp;
    if (stamp.inode < 0) {
        setError(QStringLiteral("no panel picture yet (%1)").arg(filePath));
        return;
    }
    QString error;
    const QImage image = read(filePath, pictureSize, &error);
    setError(error);
    if (image.isNull())
        return;
    picture = image;
    emit changed(picture);
}

void PanelFile::setError(const QString& error)
{
    if (error == errorText)
        return;
    errorText = error;
    emit errorChanged(errorText);
}
