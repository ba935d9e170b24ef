#include "commandchannel.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

CommandChannel::CommandChannel(const QString& fifoPath, QObject* parent)
    : QObject(parent)
    , m_path(fifoPath)
{
}

CommandChannel::~CommandChannel()
{
    close();
}

bool CommandChannel::open()
{
    if (m_fd >= 0)
        return true;
    // Non-blocking: opening a FIFO nobody reads fails at once (ENXIO).
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    return m_fd >= 0;
}

void CommandChannel::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
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
        const ssize_t n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
        if (n == bytes.size())
            return true;
        const int error = errno;
        close();
        if (n >= 0 || error != EPIPE)
            break;
    }
    std::fprintf(stderr, "device-window: not delivered (no device reading %s): %s\n",
                 qPrintable(m_path), qPrintable(line));
    return false;
}
