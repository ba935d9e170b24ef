#include "utilities/movedirs.h"

#include "browser/messagebox.h"
#include "fileops/filecopy.h"
#include "platform/sys/sysstatus.h"
#include "utilities/devicecommands.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace utilities {

namespace {

const char FlashFonts[] = "/media/flash/fonts";
const char SdFonts[] = "/media/sd/fonts";
const char FontDirVariable[] = "FONT_DIR";
const char FlashDicts[] = "/media/flash/dicts";
const char SdDicts[] = "/media/sd/dicts";
const char SystemDicts[] = "/usr/share/dicts/";
// Deeper than any font or dictionary tree: a loop, not the owner's files.
const int MaxDepth = 64;

QString tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool inside(const QString& path, const QString& directory)
{
    return path == directory || path.startsWith(directory + QLatin1Char('/'));
}

QString pathIn(const QString& directory, const QByteArray& name)
{
    return directory + QLatin1Char('/') + QFile::decodeName(name);
}

// Copies everything in the open directory source into the open directory
// target, merging with what is there and replacing files of the same name,
// as "cp -af" does. 0 or the errno, with where naming what failed.
int copyContents(int source, int target, const QString& path, int depth, QString& where)
{
    QVector<fileops::DirectoryEntry> entries;
    int error = depth > MaxDepth ? ELOOP : fileops::listDirectory(source, entries);
    where = path;
    for (int i = 0; error == 0 && i < entries.size(); ++i) {
        const char* name = entries.at(i).name.constData();
        where = pathIn(path, entries.at(i).name);
        struct stat info;
        if ((error = fileops::entryStatus(source, name, info)) != 0)
            break;
        if (S_ISDIR(info.st_mode)) {
            FileDescriptor from;
            FileDescriptor to;
            bool made = false;
            if ((error = fileops::openDirectory(source, name, from)) == 0) {
                error = fileops::makeDirectory(target, name, info.st_mode);
                made = error == 0;
                // One of that name is there already: merged into it.
                if (error == EEXIST)
                    error = 0;
            }
            const QString inner = where;
            if (error == 0)
                error = fileops::openDirectory(target, name, to);
            if (error == 0)
                error = copyContents(from.get(), to.get(), inner, depth + 1, where);
            if (error == 0 && made)
                error = fileops::copyAttributes(info, to.get());
        } else if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) {
            const auto copy = [&](fileops::Existing existing) {
                qint64 size = 0;
                return S_ISLNK(info.st_mode)
                           ? fileops::copyLink(source, name, target, name, existing)
                           : fileops::copyFile(source, name, target, name, existing, {}, &size);
            };
            error = copy(fileops::Existing::Refuse);
            if (error == EEXIST)
                error = copy(fileops::Existing::Replace);
        } else {
            // A pipe or a device node is no font or dictionary.
            error = EINVAL;
        }
    }
    return error;
}

// Removes everything in the open directory dir.
int removeContents(int dir, const QString& path, int depth, QString& where)
{
    QVector<fileops::DirectoryEntry> entries;
    int error = depth > MaxDepth ? ELOOP : fileops::listDirectory(dir, entries);
    where = path;
    for (int i = 0; error == 0 && i < entries.size(); ++i) {
        const char* name = entries.at(i).name.constData();
        where = pathIn(path, entries.at(i).name);
        FileDescriptor sub;
        const bool directory = fileops::openDirectory(dir, name, sub) == 0;
        const QString inner = where;
        if (directory)
            error = removeContents(sub.get(), inner, depth + 1, where);
        if (error == 0)
            error = fileops::removeEntry(dir, name, directory);
    }
    return error;
}

// Moves what source holds into target and removes source, but only once all
// of it is copied and on the medium: a failure leaves source whole.
int moveDirectory(const QString& source, int target, QString& where)
{
    const QByteArray path = QFile::encodeName(source);
    FileDescriptor from;
    where = source;
    int error = fileops::openDirectory(AT_FDCWD, path.constData(), from, true);
    // The same directory under another name (a second mount): its copy
    // would be itself, and removing the source would remove everything.
    struct stat a;
    struct stat b;
    if (error == 0 && ::fstat(from.get(), &a) == 0 && ::fstat(target, &b) == 0
        && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        error = EINVAL;
    if (error == 0)
        error = copyContents(from.get(), target, source, 0, where);
    if (error == 0)
        error = fileops::syncMedium(target);
    // The copy read the directory to its end: read it again from the start.
    if (error == 0 && ::lseek(from.get(), 0, SEEK_SET) != 0)
        error = errno;
    if (error == 0)
        error = removeContents(from.get(), source, 0, where);
    if (error == 0 && (error = fileops::removeEntry(AT_FDCWD, path.constData(), true)) != 0)
        where = source;
    return error;
}

} // namespace

void moveFonts(QWidget* window, const QString& savedLang)
{
    moveDirs(window, savedLang, QLatin1String(FlashFonts), QLatin1String(SdFonts),
             QString::fromLocal8Bit(qgetenv(FontDirVariable)));
}

void moveDicts(QWidget* window, const QString& savedLang)
{
    moveDirs(window, savedLang, QLatin1String(FlashDicts), QLatin1String(SdDicts),
             QLatin1String(SystemDicts));
}

QString moveDirsError(const QString& source1, const QString& source2,
                      const QString& destination)
{
    const QFileInfo first(source1);
    const QFileInfo second(source2);
    if (!first.isDir() && !second.isDir())
        return tr("Source directories %1 and %2 do not exist").arg(source1, source2);
    const QFileInfo target(destination);
    if (destination.isEmpty() || !target.isDir())
        return tr("Destination directory %1 does not exist").arg(destination);
    // Copying a directory into itself and then removing it loses it.
    const QString to = target.canonicalFilePath();
    for (const QFileInfo& source : { first, second }) {
        const QString from = source.canonicalFilePath();
        if (source.isDir() && (inside(to, from) || inside(from, to)))
            return tr("Can't move %1 into %2: one lies inside the other")
                .arg(source.filePath(), destination);
    }
    return QString();
}

void moveDirs(QWidget* window, const QString& savedLang, const QString& source1,
              const QString& source2, const QString& destination)
{
    const QString refusal = moveDirsError(source1, source2, destination);
    if (!refusal.isEmpty()) {
        showMessageBox(window, QMessageBox::Critical, tr("Error!"), refusal,
                       QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    const QString question =
        tr("All files in directories %1 and %2 will be moved to %3.\nDirectories will be "
           "deleted.\nSystem will be rebooted.\nAre you sure?")
            .arg(source1, source2, destination);
    if (showMessageBox(window, QMessageBox::Question, tr("Moving files/dirs"), question,
                       QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;

    flushWindow(window);
    sys::SysStatus& status = sys::SysStatus::instance();
    status.setSystemBusy(true, true);
    FileDescriptor target;
    int error = fileops::openDirectory(AT_FDCWD, QFile::encodeName(destination).constData(),
                                       target, true);
    QString where = destination;
    for (const QString& source : { source1, source2 }) {
        if (error == 0 && QFileInfo(source).isDir())
            error = moveDirectory(source, target.get(), where);
    }
    // A reboot that fails says so itself.
    if (error == 0 && rebootDevice(window, savedLang))
        return;
    status.setSystemBusy(false, true);
    if (error != 0)
        showMessageBox(window, QMessageBox::Critical, tr("Error!"),
                       tr("Moving to %1 stopped; nothing was removed before its copy was complete.\n%2: %3")
                           .arg(destination, where, QString::fromLocal8Bit(strerror(error))),
                       QMessageBox::Ok | QMessageBox::Cancel);
}

} // namespace utilities
