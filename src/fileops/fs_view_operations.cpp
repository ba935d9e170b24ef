// The file list's tree operation engine: count, copy, move and delete
// the clipboard's items with progress, overwrite prompts and one failure
// message.
#include "browser/fs_view.h"

#include "browser/fs_model.h"
#include "browser/messagebox.h"
#include "fileops/progressline.h"
#include "platform/sys/sysstatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One fixed block for every read and write of every copy.
const qint64 CopyBlockSize = 65536;
char copyBlock[CopyBlockSize];

const qint64 ProgressIntervalMs = 3000;
const int ProgressEventsMs = 100;

// The size of the file copyFile has just copied (-1: none), so that the
// running byte count needs no second look at the file.
qint64 lastCopiedSize = -1;

// While a delete walks a directory: that directory, open, so that its
// entries are removed by name instead of by walking their whole path again.
int deleteParentFd = -1;

// Links are left alone on the device's media (their file systems can't hold
// them).
const char* const MediaPrefix = "/media/";

bool sameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

ssize_t readRetrying(int fd, char* data, size_t size)
{
    ssize_t n;
    do
        n = ::read(fd, data, size);
    while (n < 0 && errno == EINTR);
    return n;
}

ssize_t writeRetrying(int fd, const char* data, size_t size)
{
    ssize_t n;
    do
        n = ::write(fd, data, size);
    while (n < 0 && errno == EINTR);
    return n;
}

// The canonical form of a path that may not exist yet: its deepest existing
// ancestor resolved, the rest appended as written.
QString canonicalTarget(const QString& path)
{
    QString head = QDir::cleanPath(path);
    QString tail;
    while (!head.isEmpty() && head != QLatin1String("/")) {
        const QString canonical = QFileInfo(head).canonicalFilePath();
        if (!canonical.isEmpty())
            return tail.isEmpty() ? canonical : QDir::cleanPath(canonical + QLatin1Char('/') + tail);
        const int slash = head.lastIndexOf(QLatin1Char('/'));
        const QString name = head.mid(slash + 1);
        tail = tail.isEmpty() ? name : name + QLatin1Char('/') + tail;
        head = slash > 0 ? head.left(slash) : QStringLiteral("/");
    }
    return QDir::cleanPath(QLatin1Char('/') + tail);
}

// The item itself as a canonical path: its directory resolved, its own name
// kept (a link stays the link, not what it points to).
QString canonicalItem(const QFileInfo& item)
{
    const QString parent = QFileInfo(item.absolutePath()).canonicalFilePath();
    if (parent.isEmpty())
        return QDir::cleanPath(item.absoluteFilePath());
    return QDir::cleanPath(parent + QLatin1Char('/') + item.fileName());
}

} // namespace

void FS_VIEW::takeClipboard(const QModelIndexList& rows)
{
    clipboard.clear();
    clipboardPaths.clear();
    for (const QModelIndex& row : rows) {
        const QModelIndex first = row.sibling(row.row(), 0);
        clipboard.append(QPersistentModelIndex(first));
        clipboardPaths.append(model->filePath(first));
    }
}

void FS_VIEW::performOperation(OperationKind kind, const QString& newName)
{
    if (kind == NoOperation)
        return;
    operationKind = kind;
    sys::SysStatus::instance().setSystemBusy(true, true);

    const QString base = dir.canonicalPath();
    model->setReadOnly(false);
    bytesDone = 0;
    fileCount = 0;
    dirCount = 0;
    operationClock.start();
    progressClock.start();

    QList<QFileInfo> items;
    QStringList targets;
    for (const QString& path : qAsConst(clipboardPaths)) {
        const QFileInfo info(path);
        items.append(info);
        targets.append(base + QLatin1Char('/') + (newName.isEmpty() ? info.fileName() : newName));
    }

    // A copy or move onto the item itself, or of a directory into its own
    // subtree, would destroy the source or never end: refuse the whole
    // operation before anything is written.
    bool go = true;
    if (kind == CopyOperation || kind == MoveOperation) {
        for (int i = 0; go && i < items.size(); ++i) {
            const QString source = canonicalItem(items.at(i));
            const QString target = canonicalTarget(targets.at(i));
            const bool realDir = items.at(i).isDir() && !items.at(i).isSymLink();
            if (target == source
                || (realDir && target.startsWith(source + QLatin1Char('/')))) {
                go = reportFailure(items.at(i));
            }
        }
    }
    for (int i = 0; go && i < items.size(); ++i)
        go = processItem(items.at(i), targets.at(i));

    model->setReadOnly(true);
    clipboard.clear();
    clipboardPaths.clear();
    clearSelection();
    operationKind = NoOperation;
    overwriteAll = false;
    multiSelect = false;
    sys::SysStatus::instance().setSystemBusy(false, true);

    // Only a progress line restarts progressClock: put the path back.
    if ((operationClock.elapsed() - progressClock.elapsed()) / 1000 != 0)
        emit pathChanged(base);
}

bool FS_VIEW::processItem(const QFileInfo& item, const QString& target)
{
    const QString name = item.fileName();
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return true;
    const bool transfer = operationKind == CopyOperation || operationKind == MoveOperation;

    if (item.isFile())
        ++fileCount;
    if (item.isDir())
        ++dirCount;
    showProgress(transfer, 0);

    if (item.isDir() && !item.isSymLink()) {
        if (transfer) {
            const QFileInfo existing(target);
            if (!existing.isDir()) {
                if (!QDir::root().mkpath(target))
                    return reportFailure(item);
            } else {
                // Merging a directory into itself (reached through a link or a
                // second mount) would remove what it copies.
                struct stat from;
                struct stat to;
                if (::stat(QFile::encodeName(item.filePath()).constData(), &from) == 0
                    && ::stat(QFile::encodeName(target).constData(), &to) == 0 && sameInode(from, to)) {
                    return reportFailure(item);
                }
            }
        }
        const QFileInfoList entries = QDir(item.filePath())
            .entryInfoList(QDir::Dirs | QDir::Files | QDir::Drives | QDir::Hidden, QDir::NoSort);
        const int outerParentFd = deleteParentFd;
        if (operationKind == DeleteOperation)
            deleteParentFd = ::open(QFile::encodeName(item.filePath()).constData(),
                                    O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        bool go = true;
        for (const QFileInfo& entry : entries) {
            if (!processItem(entry, target + QLatin1Char('/') + entry.fileName())) {
                go = false;
                break;
            }
        }
        if (operationKind == DeleteOperation) {
            if (deleteParentFd >= 0)
                ::close(deleteParentFd);
            deleteParentFd = outerParentFd;
        }
        if (!go)
            return false;
        if (operationKind == MoveOperation || operationKind == DeleteOperation) {
            if (!QDir(item.path()).rmdir(name))
                return reportFailure(item);
        }
        return true;
    }

    const bool link = item.isSymLink();
    if (link && target.startsWith(QLatin1String(MediaPrefix)))
        return true;
    if (operationKind == DeleteOperation) {
        // Nothing shows the bytes of a delete: no stat for them. Inside a
        // walked directory the entry goes by its name there.
        const int removed = deleteParentFd >= 0
                                ? ::unlinkat(deleteParentFd, QFile::encodeName(item.fileName()).constData(), 0)
                                : ::unlink(QFile::encodeName(item.filePath()).constData());
        if (removed != 0)
            return reportFailure(item);
        return true;
    }
    if (!transfer) {
        if (!link)
            bytesDone += item.size();
        return true;
    }
    // A move may take the file away: its size first. A copy learns it on
    // the way.
    const qint64 size = link || operationKind == CopyOperation ? 0 : item.size();
    lastCopiedSize = -1;
    if (!copyFile(item, target))
        return false;
    if (!link)
        bytesDone += lastCopiedSize >= 0 ? lastCopiedSize
                                         : (operationKind == CopyOperation ? item.size() : size);
    return true;
}

bool FS_VIEW::copyFile(const QFileInfo& item, const QString& target)
{
    const QString src = item.filePath();
    const QByteArray srcName = QFile::encodeName(src);
    const QByteArray targetName = QFile::encodeName(target);

    // Devices, pipes and sockets can't be copied (reading a pipe would block).
    const bool link = item.isSymLink();
    if (!link && !item.isFile())
        return reportFailure(item);

    // A copy makes its target at once when nothing is there yet: one look
    // at the target's path instead of two. O_EXCL never opens (let alone
    // truncates) anything that exists, links included.
    const int createFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    const mode_t createMode = 0666;
    int out = -1;
    if (operationKind == CopyOperation && !link) {
        out = ::open(targetName.constData(), createFlags, createMode);
        if (out < 0 && errno != EEXIST)
            return reportFailure(item);
    }

    struct stat existing;
    if (out < 0 && ::lstat(targetName.constData(), &existing) == 0) {
        // The target is the source itself (or what the source link points
        // at): removing it would lose the very data being copied.
        struct stat source;
        struct stat pointed;
        if (::lstat(srcName.constData(), &source) != 0 || sameInode(source, existing)
            || (link && ::stat(srcName.constData(), &pointed) == 0 && sameInode(pointed, existing))) {
            return reportFailure(item);
        }
        if (!overwriteAll) {
            QMessageBox::StandardButtons buttons =
                QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::Cancel;
            if (operationKind == CopyOperation)
                buttons |= QMessageBox::No;
            auto& status = sys::SysStatus::instance();
            status.setSystemBusy(false, true);
            const int answer = showMessageBox(
                this, QMessageBox::Question,
                tr("%1 file %2").arg(QLatin1String(operationTitles[operationKind]), src),
                tr("'%1'' already exists.\nOverwrite?").arg(target), buttons);
            status.setSystemBusy(true, true);
            if (answer == QMessageBox::No)
                return true;
            if (answer == QMessageBox::YesToAll)
                overwriteAll = true;
            else if (answer != QMessageBox::Yes)
                return false;
        }
        if (!QFile::remove(target))
            return reportFailure(item);
    }

    if (link) {
        if (!QFile::link(item.symLinkTarget(), target))
            return reportFailure(item);
        if (operationKind == MoveOperation && ::unlink(srcName.constData()) != 0)
            return reportFailure(item);
        return true;
    }

    if (operationKind == MoveOperation && ::rename(srcName.constData(), targetName.constData()) == 0)
        return true;

    const int in = ::open(srcName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat opened;
    if (in < 0 || ::fstat(in, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        if (in >= 0)
            ::close(in);
        // Only the empty file made above goes; nothing that was there.
        if (out >= 0) {
            ::close(out);
            ::unlink(targetName.constData());
        }
        return reportFailure(item);
    }
    // The target was checked and cleared above: never truncate whatever
    // appeared there since.
    if (out < 0)
        out = ::open(targetName.constData(), createFlags, createMode);
    if (out < 0) {
        ::close(in);
        return reportFailure(item);
    }

    qint64 copied = 0;
    bool kernelCopy = true;
    for (;;) {
        ssize_t n = -1;
        if (kernelCopy) {
            // The kernel moves the block without it passing through here.
            do
                n = ::copy_file_range(in, nullptr, out, nullptr, size_t(CopyBlockSize), 0);
            while (n < 0 && errno == EINTR);
            if (n < 0 && copied == 0
                && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP
                    || errno == EBADF || errno == EPERM)) {
                kernelCopy = false;
                continue;
            }
            if (n <= 0)
                break;
        } else {
            n = readRetrying(in, copyBlock, size_t(CopyBlockSize));
            if (n <= 0)
                break;
            const ssize_t written = writeRetrying(out, copyBlock, size_t(n));
            if (written < n) {
                if (written > 0)
                    copied += written;
                break;
            }
        }
        copied += n;
        showProgress(true, copied);
    }

    struct stat from;
    struct stat to;
    // A new file that the creation mask already gave the source's bits
    // needs no chmod.
    const mode_t permissions = opened.st_mode & 0777;
    bool ok = ::fstat(in, &from) == 0 && ::fstat(out, &to) == 0 && from.st_size == to.st_size
              && ((to.st_mode & 0777) == permissions || ::fchmod(out, permissions) == 0);
    ::close(in);
    // A medium that reports write errors only at close is a failed copy too.
    if (::close(out) != 0)
        ok = false;
    if (ok && (operationKind == CopyOperation || ::unlink(srcName.constData()) == 0)) {
        lastCopiedSize = to.st_size;
        return true;
    }
    ::unlink(targetName.constData());
    return reportFailure(item);
}

void FS_VIEW::showProgress(bool transfer, qint64 currentFileBytes)
{
    if (progressClock.elapsed() < ProgressIntervalMs)
        return;
    progressClock.restart();
    const QString line = progressLine(dirCount, fileCount, transfer, bytesDone + currentFileBytes,
                                      operationClock.elapsed());
    sys::SysStatus::instance().setSystemBusy(false, true);
    emit pathChanged(line);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, ProgressEventsMs);
}

bool FS_VIEW::reportFailure(const QFileInfo& item)
{
    sys::SysStatus::instance().setSystemBusy(false, true);
    const QString title = operationKind >= 0 && operationKind < 4
                              ? QLatin1String(operationTitles[operationKind])
                              : QString();
    showMessageBox(this, QMessageBox::Critical, tr("Error!"),
                   tr("%1 item \"%2\" failed").arg(title, item.fileName()),
                   QMessageBox::Ok | QMessageBox::Cancel);
    return false;
}
