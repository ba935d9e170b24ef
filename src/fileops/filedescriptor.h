#pragma once

#include <cerrno>
#include <unistd.h>

// An open file descriptor that is closed when it goes, so that no way out
// of a copy leaves one open.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : fd(fd)
    {
    }
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept
        : fd(other.release())
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd; }
    bool isOpen() const { return fd >= 0; }
    int release()
    {
        const int old = fd;
        fd = -1;
        return old;
    }
    void reset(int next = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = next;
    }
    // Closes now and says whether the medium took the data (some report
    // write errors only here): 0 or the errno.
    int close()
    {
        if (fd < 0)
            return 0;
        const int result = ::close(fd);
        fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd = -1;
};
