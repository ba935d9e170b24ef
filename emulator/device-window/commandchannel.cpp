#include "commandchannel.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

CommandChannel::CommandChannel(const QString& fifoPath, QObject* parent)
    : QObject(parent)
    , fifoPath(fifoPath)
{
}

CommandChannel::~CommandChannel()
{
    close();
}

bool CommandChannel::open()
{
    if (fd >= 0)
        return true;
    // Non-blocking: opening a FIFO nobody reads fails at once (ENXIO).
    fd = ::open(QFile::encodeName(fifoPath).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0;
}

void CommandChannel::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool CommandChannel::send(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    // A line below PIPE_BUF is written whole or not at all. A FIFO whose reader
    // went away (the device restarted and made a new one) fails with EPIPE:
    // reopen once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!open())
            break;
        const ssize_t n = ::write(fd, bytes.constData(), size_t(bytes.size()));
        if (n == bytes.size())
            return true;
        const int error = errno;
        close();
        if (n >= 0 || error != EPIPE)
            break;
    }
    std::fprintf(stderr, "device-window: not delivered (no device reading %s): %s\n",
                 qPrintable(fifoPath), qPrintable(line));
    return false;
}
