#include "fileops/filecopy.h"

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileops {

namespace {

// One fixed block for every read and write of every copy.
const size_t CopyBlockSize = 65536;
const size_t KernelCopyStep = 1024 * 1024;
const size_t DirectoryBufferSize = 32768;
const mode_t PermissionBits = 0777;
const mode_t DirectoryBits = 07777;
const char* const TemporaryPattern = ".lirro-%d-%u.part";
const int TemporaryAttempts = 100;

int errorOf(int result)
{
    return result == 0 ? 0 : errno;
}

ssize_t readRetrying(int fd, char* data, size_t size)
{
    ssize_t n;
    do
        n = ::read(fd, data, size);
    while (n < 0 && errno == EINTR);
    return n;
}

// The whole block or the errno (a medium that takes part of it is full).
int writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 ? ENOSPC : errno;
        data += n;
        size -= size_t(n);
    }
    return 0;
}

// Copies size bytes from in to out. The kernel copies within one file
// system without the bytes passing through here; between two it says so at
// once, and the block goes through here.
int copyBytes(int in, int out, qint64 size, const Progress& progress, qint64* copied)
{
    static char block[CopyBlockSize];
    *copied = 0;
    bool kernelCopy = true;
    while (*copied < size) {
        ssize_t n;
        if (kernelCopy) {
            // Larger steps: nothing passes through the block here.
            const size_t want = size_t(std::min<qint64>(size - *copied, qint64(KernelCopyStep)));
            do
                n = ::copy_file_range(in, nullptr, out, nullptr, want, 0);
            while (n < 0 && errno == EINTR);
            if (n < 0 && *copied == 0
                && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                continue;
            }
            if (n < 0)
                return errno;
        } else {
            const size_t want = size_t(std::min<qint64>(size - *copied, qint64(CopyBlockSize)));
            n = readRetrying(in, block, want);
            if (n < 0)
                return errno;
            if (n > 0) {
                if (const int error = writeAll(out, block, size_t(n)))
                    return error;
            }
        }
        if (n == 0)
            break; // shorter than it was
        *copied += n;
        if (progress)
            progress(*copied);
    }
    return 0;
}

// Tries fresh names in a directory until make, given one, does not find
// it taken; name receives the one that was made.
template<typename Make>
int makeTemporary(QByteArray& name, Make make)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < TemporaryAttempts; ++attempt) {
        char buffer[NAME_MAX];
        std::snprintf(buffer, sizeof buffer, TemporaryPattern, int(::getpid()), ++counter);
        const int error = make(buffer);
        if (error != EEXIST) {
            if (error == 0)
                name = buffer;
            return error;
        }
    }
    return EEXIST;
}

mode_t currentUmask()
{
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

// Writes the open source into the open target and gives it the source's
// bits and times; a replacement is synced too, before it takes the old
// one's place.
int fillTarget(int in, const struct stat& from, int out, bool sync, const Progress& progress,
               qint64* size)
{
    if (const int error = copyBytes(in, out, from.st_size, progress, size))
        return error;
    if (*size != from.st_size)
        return EIO;
    const mode_t bits = from.st_mode & PermissionBits;
    // A new file that the creation mask left with the source's bits needs no chmod.
    if ((bits & ~currentUmask()) != bits && ::fchmod(out, bits) != 0)
        return errno;
    const struct timespec times[2] = { from.st_atim, from.st_mtim };
    if (::futimens(out, times) != 0)
        return errno;
    if (sync && ::fsync(out) != 0)
        return errno;
    return 0;
}

} // namespace

int listDirectory(int dir, QVector<DirectoryEntry>& entries)
{
    entries.clear();
    // Straight from the kernel: a directory stream would copy, examine and
    // rewind the descriptor first.
    alignas(dirent64) static char buffer[DirectoryBufferSize];
    for (;;) {
        const ssize_t n = ::getdents64(dir, buffer, sizeof buffer);
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        for (ssize_t at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            entries.append(DirectoryEntry{ QByteArray(name), entry->d_type });
        }
    }
}

int openDirectory(int dir, const char* name, FileDescriptor& result, bool followLinks)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    const int fd = ::openat(dir, name, flags);
    if (fd < 0)
        return errno;
    result.reset(fd);
    return 0;
}

int entryStatus(int dir, const char* name, struct stat& info)
{
    return errorOf(::fstatat(dir, name, &info, AT_SYMLINK_NOFOLLOW));
}

int copyFile(int sourceDir, const char* name, int targetDir, const char* targetName,
             Existing existing, const Progress& progress, qint64* size)
{
    *size = 0;
    // Without blocking: a pipe put in the file's place must not hang the copy.
    FileDescriptor in(::openat(sourceDir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.isOpen())
        return errno;
    struct stat from;
    if (::fstat(in.get(), &from) != 0)
        return errno;
    if (!S_ISREG(from.st_mode))
        return EINVAL;
    const mode_t mode = from.st_mode & PermissionBits;

    if (existing == Existing::Refuse) {
        // O_EXCL never opens (let alone truncates) anything that exists,
        // links included.
        FileDescriptor out(::openat(targetDir, targetName,
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!out.isOpen())
            return errno;
        int error = fillTarget(in.get(), from, out.get(), false, progress, size);
        if (const int closed = out.close())
            error = error != 0 ? error : closed;
        if (error != 0)
            ::unlinkat(targetDir, targetName, 0);
        return error;
    }

    FileDescriptor out;
    QByteArray temporary;
    const int made = makeTemporary(temporary, [&](const char* candidate) {
        out.reset(::openat(targetDir, candidate, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           mode));
        return out.isOpen() ? 0 : errno;
    });
    if (made != 0)
        return made;
    int error = fillTarget(in.get(), from, out.get(), true, progress, size);
    if (const int closed = out.close())
        error = error != 0 ? error : closed;
    if (error == 0)
        error = errorOf(::renameat(targetDir, temporary.constData(), targetDir, targetName));
    if (error != 0)
        ::unlinkat(targetDir, temporary.constData(), 0);
    return error;
}

int copyLink(int sourceDir, const char* name, int targetDir, const char* targetName,
             Existing existing)
{
    struct stat from;
    if (::fstatat(sourceDir, name, &from, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    QByteArray text(qMax<qint64>(from.st_size, 0) + 1, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(sourceDir, name, text.data(), size_t(text.size()));
    if (length < 0)
        return errno;
    if (length >= text.size())
        return ENAMETOOLONG; // grew since the status was read
    text.truncate(int(length));

    const struct timespec times[2] = { from.st_atim, from.st_mtim };
    if (existing == Existing::Refuse) {
        if (::symlinkat(text.constData(), targetDir, targetName) != 0)
            return errno;
        ::utimensat(targetDir, targetName, times, AT_SYMLINK_NOFOLLOW);
        return 0;
    }
    // The new link takes the old target's place in one step.
    QByteArray temporary;
    const int made = makeTemporary(temporary, [&](const char* candidate) {
        return errorOf(::symlinkat(text.constData(), targetDir, candidate));
    });
    if (made != 0)
        return made;
    ::utimensat(targetDir, temporary.constData(), times, AT_SYMLINK_NOFOLLOW);
    if (::renameat(targetDir, temporary.constData(), targetDir, targetName) != 0) {
        const int error = errno;
        ::unlinkat(targetDir, temporary.constData(), 0);
        return error;
    }
    return 0;
}

int moveEntry(int sourceDir, const char* name, int targetDir, const char* targetName,
              Existing existing)
{
    const unsigned flags = existing == Existing::Refuse ? RENAME_NOREPLACE : 0;
    return errorOf(::renameat2(sourceDir, name, targetDir, targetName, flags));
}

int makeDirectory(int dir, const char* name, mode_t mode)
{
    return errorOf(::mkdirat(dir, name, (mode & PermissionBits) | S_IRWXU));
}

int copyAttributes(const struct stat& source, int targetDirectory)
{
    const mode_t bits = source.st_mode & DirectoryBits;
    // What makeDirectory gave it, unless the owner may not write or the
    // creation mask took bits.
    const mode_t made = ((bits & PermissionBits) | S_IRWXU) & ~currentUmask();
    if (made != bits && ::fchmod(targetDirectory, bits) != 0)
        return errno;
    const struct timespec times[2] = { source.st_atim, source.st_mtim };
    return errorOf(::futimens(targetDirectory, times));
}

int removeEntry(int dir, const char* name, bool directory)
{
    return errorOf(::unlinkat(dir, name, directory ? AT_REMOVEDIR : 0));
}

int syncMedium(int fd)
{
    return errorOf(::syncfs(fd));
}

} // namespace fileops
