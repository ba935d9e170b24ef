// The file list's tree operation engine: count, copy, move and delete with
// progress, overwrite prompts and one failure message. The file work itself
// is fileops/filecopy's; here are the walk and the owner's side of it.
#include "browser/fs_view.h"

#include "browser/fs_model.h"
#include "browser/messagebox.h"
#include "fileops/filecopy.h"
#include "fileops/progressline.h"
#include "platform/sys/sysstatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVector>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

const qint64 ProgressIntervalMs = 3000;
const int ProgressEventsMs = 100;

// Links are left alone on the device's media (their file systems can't
// hold them).
const char* const MediaPrefix = "/media/";

// Sources moved across media wait in batches of at most this many for one
// sync of their copies.
const int RemovalBatch = 1000;

const char* const FdDirectory = "/proc/self/fd/";

// Deeper than any path could name: a tree that seems to go on for ever (a
// mount of itself inside it) stops here instead of exhausting the stack.
const int MaxDepth = 1024;

bool sameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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

enum class Overlap { None, Itself, OtherName };

// Whether source and target are one item (or the target lies inside the
// source): copying or moving would destroy the source or never end. A
// name that differs only in case on a medium that ignores case is
// OtherName: the item renamed in place.
Overlap overlapOf(const QString& sourcePath, const QString& targetPath)
{
    const QFileInfo item(sourcePath);
    const QString source = canonicalItem(item);
    const QString target = canonicalTarget(targetPath);
    const bool realDir = item.isDir() && !item.isSymLink();
    if (target == source || (realDir && target.startsWith(source + QLatin1Char('/'))))
        return Overlap::Itself;
    const QByteArray from = QFile::encodeName(sourcePath);
    struct stat sourceInfo;
    struct stat targetInfo;
    struct stat pointed;
    if (::lstat(QFile::encodeName(targetPath).constData(), &targetInfo) != 0
        || ::lstat(from.constData(), &sourceInfo) != 0)
        return Overlap::None;
    if (sameInode(sourceInfo, targetInfo)) {
        const QString targetName = QFileInfo(targetPath).fileName();
        const bool caseOnly = item.fileName() != targetName
                              && item.fileName().compare(targetName, Qt::CaseInsensitive) == 0;
        return caseOnly ? Overlap::OtherName : Overlap::Itself;
    }
    // A link onto the file it points at would replace that file by a link
    // to itself.
    if (S_ISLNK(sourceInfo.st_mode) && ::stat(from.constData(), &pointed) == 0
        && sameInode(pointed, targetInfo))
        return Overlap::Itself;
    return Overlap::None;
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The path of name in an open directory, for the owner to read.
QString pathOf(int dir, const QByteArray& name)
{
    const QString link = QFile::symLinkTarget(QLatin1String(FdDirectory) + QString::number(dir));
    return link + QLatin1Char('/') + QFile::decodeName(name);
}

unsigned char typeOf(const struct stat& info)
{
    return static_cast<unsigned char>(IFTODT(info.st_mode));
}

} // namespace

void FS_VIEW::takeClipboard(OperationKind kind)
{
    if (operation.running)
        return;
    const QModelIndexList rows = selectionModel()->selectedRows(0);
    multiSelect = false;
    operationKind = kind;
    clipboard.clear();
    for (const QModelIndex& row : rows)
        clipboard.append(QPersistentModelIndex(row));
    clipboardPaths = pathsOf(rows);
}

QStringList FS_VIEW::pathsOf(const QModelIndexList& rows) const
{
    QStringList paths;
    for (const QModelIndex& row : rows)
        paths.append(model->filePath(row.sibling(row.row(), 0)));
    return paths;
}

void FS_VIEW::performOperation(OperationKind kind, const QString& newName)
{
    if (kind == NoOperation || operation.running)
        return;
    runOperation(kind, clipboardPaths, newName);
    clipboard.clear();
    clipboardPaths.clear();
    operationKind = NoOperation;
}

void FS_VIEW::runOperation(OperationKind kind, const QStringList& sources, const QString& newName)
{
    if (kind == NoOperation || operation.running)
        return;
    Operation& op = operation;
    op.kind = kind;
    op.running = true;
    op.overwriteAll = false;
    op.totals = Totals();
    op.depth = 0;
    op.operationClock.start();
    op.progressClock.start();
    auto& status = sys::SysStatus::instance();
    status.setSystemBusy(true, true);
    model->setReadOnly(false);

    const bool transfer = kind == CopyOperation || kind == MoveOperation;
    op.base = dir.canonicalPath();
    bool go = true;
    struct stat targetInfo = {};
    // The target directory is resolved once. One that has gone away has no
    // path: never build a target from nothing.
    if (transfer
        && (op.base.isEmpty()
            || fileops::openDirectory(AT_FDCWD, QFile::encodeName(op.base).constData(), op.targetDir,
                                      true)
                   != 0
            || ::fstat(op.targetDir.get(), &targetInfo) != 0)) {
        const QString first = sources.isEmpty() ? QString() : QFileInfo(sources.first()).fileName();
        go = reportFailure(first, tr("The directory %1 no longer exists").arg(dir.path()));
    }

    // Onto itself, or into its own subtree: refused before anything is written.
    QVector<Overlap> overlaps(sources.size(), Overlap::None);
    for (int i = 0; go && transfer && i < sources.size(); ++i) {
        const QString name = newName.isEmpty() ? QFileInfo(sources.at(i)).fileName() : newName;
        overlaps[i] = overlapOf(sources.at(i), op.base + QLatin1Char('/') + name);
        if (overlaps.at(i) == Overlap::Itself || (overlaps.at(i) == Overlap::OtherName && kind != MoveOperation))
            go = reportFailure(QFileInfo(sources.at(i)).fileName(),
                               tr("The target is the item itself or lies inside it"));
    }

    for (int i = 0; go && i < sources.size(); ++i) {
        const QByteArray path = QFile::encodeName(sources.at(i));
        const int slash = path.lastIndexOf('/');
        const QByteArray name = path.mid(slash + 1);
        FileDescriptor parent;
        int error = fileops::openDirectory(AT_FDCWD, slash > 0 ? path.left(slash).constData() : "/",
                                           parent, true);
        struct stat info;
        if (error == 0)
            error = fileops::entryStatus(parent.get(), name.constData(), info);
        if (error != 0) {
            go = reportFailure(name, error);
            break;
        }
        const QByteArray targetName = newName.isEmpty() ? name : QFile::encodeName(newName);
        if (overlaps.at(i) == Overlap::OtherName) {
            // The kernel renames it in place.
            error = fileops::moveEntry(parent.get(), name.constData(), op.targetDir.get(),
                                       targetName.constData(), fileops::Existing::Replace);
            go = error == 0 || reportFailure(name, error);
            continue;
        }
        const QString placed = transfer ? op.base + QLatin1Char('/') + QFile::decodeName(targetName)
                                        : sources.at(i);
        op.linksLeftAlone = placed.startsWith(QLatin1String(MediaPrefix));
        op.crossMedia = transfer && info.st_dev != targetInfo.st_dev;
        op.removalDir = parent.get();
        op.removalTargetDir = op.targetDir.get();
        op.removals.clear();
        go = processItem(parent.get(), name, typeOf(info), op.targetDir.get(), targetName)
             && removeMovedSources();
    }

    model->setReadOnly(true);
    clearSelection();
    multiSelect = false;
    op.removals.clear();
    op.targetDir.reset();
    op.kind = NoOperation;
    op.overwriteAll = false;
    op.running = false;
    status.setSystemBusy(false, true);

    // Only a progress line restarts progressClock: put the path back.
    if ((op.operationClock.elapsed() - op.progressClock.elapsed()) / 1000 != 0)
        emit pathChanged(op.base.isEmpty() ? dir.path() : op.base);
    if (op.outputWaiting) {
        op.outputWaiting = false;
        QMetaObject::invokeMethod(this, &FS_VIEW::progFinished, Qt::QueuedConnection);
    }
}

bool FS_VIEW::processItem(int sourceDir, const QByteArray& name, unsigned char type, int targetDir,
                          const QByteArray& targetName)
{
    Operation& op = operation;
    struct stat info;
    if (type == DT_UNKNOWN) {
        if (const int error = fileops::entryStatus(sourceDir, name.constData(), info))
            return reportFailure(name, error);
        type = typeOf(info);
    }
    // A count takes a link for what it leads to, as a file or a directory.
    unsigned char counted = type;
    if (type == DT_LNK && op.kind == CountOperation
        && ::fstatat(sourceDir, name.constData(), &info, 0) == 0)
        counted = typeOf(info);
    if (counted == DT_REG)
        ++op.totals.files;
    else if (counted == DT_DIR)
        ++op.totals.dirs;
    showProgress(op.kind == CopyOperation || op.kind == MoveOperation, 0);

    if (type == DT_DIR)
        return processDirectory(sourceDir, name, targetDir, targetName);
    return processEntry(sourceDir, name, type, targetDir, targetName);
}

bool FS_VIEW::processDirectory(int sourceDir, const QByteArray& name, int targetDir,
                               const QByteArray& targetName)
{
    Operation& op = operation;
    const bool transfer = op.kind == CopyOperation || op.kind == MoveOperation;
    // Within one medium a move renames the whole tree in one step, so
    // nothing can split it; only a directory that exists at the target is
    // merged entry by entry.
    if (op.kind == MoveOperation && !op.crossMedia) {
        const int error = fileops::moveEntry(sourceDir, name.constData(), targetDir,
                                             targetName.constData(), fileops::Existing::Refuse);
        if (error == 0)
            return true;
        if (error != EEXIST && error != ENOTEMPTY && error != EXDEV)
            return reportFailure(name, error);
    }

    FileDescriptor source;
    struct stat from;
    int opened = fileops::openDirectory(sourceDir, name.constData(), source);
    if (opened == 0 && ::fstat(source.get(), &from) != 0)
        opened = errno;
    if (opened != 0)
        return reportFailure(name, opened);
    FileDescriptor target;
    bool made = false;
    if (transfer) {
        int error = fileops::makeDirectory(targetDir, targetName.constData(), from.st_mode);
        made = error == 0;
        if (error == 0 || error == EEXIST)
            error = fileops::openDirectory(targetDir, targetName.constData(), target, true);
        if (error != 0)
            return reportFailure(name, error);
        // Merging a directory into itself (reached through a link or a second
        // mount) would remove what it copies.
        struct stat to;
        if (!made && ::fstat(target.get(), &to) == 0 && sameInode(from, to))
            return reportFailure(name, tr("The target is the item itself or lies inside it"));
    }

    QVector<fileops::DirectoryEntry> entries;
    int error = op.depth >= MaxDepth ? ENAMETOOLONG : fileops::listDirectory(source.get(), entries);
    if (error != 0)
        return reportFailure(name, error);
    // Sources moved meanwhile are this directory's own batch.
    const int outerRemovalDir = op.removalDir;
    const int outerRemovalTargetDir = op.removalTargetDir;
    QList<QByteArray> outerRemovals;
    outerRemovals.swap(op.removals);
    op.removalDir = source.get();
    op.removalTargetDir = target.get();
    bool go = true;
    ++op.depth;
    for (const fileops::DirectoryEntry& entry : qAsConst(entries)) {
        go = processItem(source.get(), entry.name, entry.type, target.get(), entry.name);
        if (!go)
            break;
    }
    --op.depth;
    go = go && removeMovedSources();
    op.removals.swap(outerRemovals);
    op.removalDir = outerRemovalDir;
    op.removalTargetDir = outerRemovalTargetDir;
    if (!go)
        return false;

    if (made && (error = fileops::copyAttributes(from, target.get())) != 0)
        return reportFailure(name, error);
    if ((op.kind == MoveOperation || op.kind == DeleteOperation)
        && (error = fileops::removeEntry(sourceDir, name.constData(), true)) != 0)
        return reportFailure(name, error);
    return true;
}

bool FS_VIEW::processEntry(int sourceDir, const QByteArray& name, unsigned char type, int targetDir,
                           const QByteArray& targetName)
{
    Operation& op = operation;
    const bool link = type == DT_LNK;
    if (link && op.linksLeftAlone)
        return true;
    if (op.kind == DeleteOperation) {
        if (const int error = fileops::removeEntry(sourceDir, name.constData(), false))
            return reportFailure(name, error);
        return true;
    }
    if (op.kind == CountOperation) {
        struct stat info;
        if (!link && fileops::entryStatus(sourceDir, name.constData(), info) == 0)
            op.totals.bytes += info.st_size;
        return true;
    }
    // A pipe would block the copy, a device would give endless bytes.
    if (!link && type != DT_REG)
        return reportFailure(name, tr("Not a file, a directory or a link"));
    return copyFile(sourceDir, name, link, targetDir, targetName);
}

bool FS_VIEW::copyFile(int sourceDir, const QByteArray& name, bool link, int targetDir,
                       const QByteArray& targetName)
{
    Operation& op = operation;
    qint64 size = 0;
    bool renamed = false;
    const fileops::Progress progress = [this](qint64 copied) { showProgress(true, copied); };
    auto attempt = [&](fileops::Existing existing) {
        if (op.kind == MoveOperation && !op.crossMedia) {
            const int error = fileops::moveEntry(sourceDir, name.constData(), targetDir,
                                                 targetName.constData(), existing);
            renamed = error == 0;
            if (error != EXDEV)
                return error;
        }
        if (link)
            return fileops::copyLink(sourceDir, name.constData(), targetDir, targetName.constData(),
                                     existing);
        return fileops::copyFile(sourceDir, name.constData(), targetDir, targetName.constData(),
                                 existing, progress, &size);
    };

    int error = attempt(fileops::Existing::Refuse);
    if (error == EEXIST) {
        bool go = true;
        if (!op.overwriteAll && !confirmOverwrite(sourceDir, name, targetDir, targetName, &go))
            return go;
        error = attempt(fileops::Existing::Replace);
    }
    if (error != 0)
        return reportFailure(name, error);
    op.totals.bytes += size;
    if (op.kind == MoveOperation && !renamed) {
        op.removals.append(name);
        if (op.removals.size() >= RemovalBatch)
            return removeMovedSources();
    }
    return true;
}

bool FS_VIEW::confirmOverwrite(int sourceDir, const QByteArray& name, int targetDir,
                               const QByteArray& targetName, bool* go)
{
    Operation& op = operation;
    QMessageBox::StandardButtons buttons =
        QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::Cancel;
    if (op.kind == CopyOperation)
        buttons |= QMessageBox::No;
    // The device may rest while the owner thinks.
    auto& status = sys::SysStatus::instance();
    status.setSystemBusy(false, true);
    const int answer = askOverwrite(
        tr("%1 file %2").arg(QLatin1String(operationTitles[op.kind]), pathOf(sourceDir, name)),
        tr("'%1'' already exists.\nOverwrite?").arg(pathOf(targetDir, targetName)), buttons);
    status.setSystemBusy(true, true);
    *go = answer == QMessageBox::No;
    if (answer == QMessageBox::YesToAll)
        op.overwriteAll = true;
    return answer == QMessageBox::Yes || answer == QMessageBox::YesToAll;
}

bool FS_VIEW::removeMovedSources()
{
    Operation& op = operation;
    if (op.removals.isEmpty())
        return true;
    const QList<QByteArray> removals = std::move(op.removals);
    op.removals.clear();
    // The copies reach the medium before a source goes: a pulled card or a
    // dead battery leaves the source, never a short copy alone.
    if (const int error = fileops::syncMedium(op.removalTargetDir))
        return reportFailure(removals.first(), error);
    for (const QByteArray& name : removals) {
        if (const int error = fileops::removeEntry(op.removalDir, name.constData(), false))
            return reportFailure(name, error);
    }
    return true;
}

void FS_VIEW::showProgress(bool transfer, qint64 currentFileBytes)
{
    Operation& op = operation;
    if (op.progressClock.elapsed() < ProgressIntervalMs)
        return;
    op.progressClock.restart();
    emit pathChanged(progressLine(op.totals.dirs, op.totals.files, transfer,
                                  op.totals.bytes + currentFileBytes, op.operationClock.elapsed()));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, ProgressEventsMs);
}

bool FS_VIEW::reportFailure(const QString& item, const QString& reason)
{
    sys::SysStatus::instance().setSystemBusy(false, true);
    const OperationKind kind = operation.kind;
    const QString title = kind >= 0 && kind < 4 ? QLatin1String(operationTitles[kind]) : QString();
    showFailure(tr("%1 item \"%2\" failed").arg(title, item) + QLatin1Char('\n') + reason);
    return false;
}

bool FS_VIEW::reportFailure(const QByteArray& item, int error)
{
    return reportFailure(QFile::decodeName(item), errorText(error));
}

int FS_VIEW::askOverwrite(const QString& title, const QString& text,
                          QMessageBox::StandardButtons buttons)
{
    return showMessageBox(this, QMessageBox::Question, title, text, buttons);
}

void FS_VIEW::showFailure(const QString& text)
{
    showMessageBox(this, QMessageBox::Critical, tr("Error!"), text,
                   QMessageBox::Ok | QMessageBox::Cancel);
}
