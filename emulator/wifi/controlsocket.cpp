#include "controlsocket.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// wpa_supplicant 2.10 reads requests of up to 8192 bytes.
const int MaxRequest = 8192;

} // namespace

ControlSocket::ControlSocket(QObject* parent)
    : QObject(parent)
{
}

ControlSocket::~ControlSocket()
{
    if (fd >= 0) {
        ::close(fd);
        QFile::remove(path);
    }
}

bool ControlSocket::listen(const QString& socketPath, QString* error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(socketPath);
    if (name.size() >= int(sizeof address.sun_path)) {
        *error = QStringLiteral("socket path too long");
        return false;
    }
    memcpy(address.sun_path, name.constData(), size_t(name.size()));
    fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    ::unlink(name.constData());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        ::close(fd);
        fd = -1;
        return false;
    }
    path = socketPath;
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &ControlSocket::receive);
    return true;
}

void ControlSocket::receive()
{
    QByteArray buffer(MaxRequest + 1, '\0');
    sockaddr_un from{};
    socklen_t fromLength = sizeof from;
    const ssize_t length = ::recvfrom(fd, buffer.data(), size_t(buffer.size()), MSG_DONTWAIT,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
    // Too long: dropped unanswered, as wpa_supplicant does.
    if (length < 0 || length > MaxRequest)
        return;
    const QByteArray command = buffer.left(int(length));
    const QByteArray peer(reinterpret_cast<const char*>(&from), int(fromLength));
    QByteArray reply;
    if (command == "ATTACH") {
        monitors.removeAll(peer);
        monitors.append(peer);
        reply = "OK\n";
    } else if (command == "DETACH") {
        reply = monitors.removeAll(peer) > 0 ? "OK\n" : "FAIL\n";
    } else {
        emit request(command, &reply);
    }
    ::sendto(fd, reply.constData(), size_t(reply.size()), MSG_DONTWAIT,
             reinterpret_cast<const sockaddr*>(peer.constData()), socklen_t(peer.size()));
}

void ControlSocket::broadcast(const QByteArray& event)
{
    const QByteArray message = "<3>" + event;
    for (auto it = monitors.begin(); it != monitors.end();) {
        const ssize_t sent = ::sendto(fd, message.constData(), size_t(message.size()), MSG_DONTWAIT,
                                      reinterpret_cast<const sockaddr*>(it->constData()),
                                      socklen_t(it->size()));
        // A client that went away without detaching.
        if (sent < 0 && (errno == ECONNREFUSED || errno == ENOENT))
            it = monitors.erase(it);
        else
            ++it;
    }
}
