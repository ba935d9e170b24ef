#ifndef LIRRO_TESTS_BROWSER_SCREENCAPTURE_H
#define LIRRO_TESTS_BROWSER_SCREENCAPTURE_H

#include "platform/screen/screencommand.h"

#include <QHostAddress>
#include <QList>
#include <QUdpSocket>

#include <cstring>

// Stands where the screen service listens (inside the sandbox's private
// network) and collects the commands the program sends.
class ScreenCapture
{
public:
    bool bind() { return socket.bind(QHostAddress(QHostAddress::LocalHost), 5678); }

    // Every command received within waitMs (datagrams on the loopback arrive
    // at once, so a short wait only guards against scheduling).
    QList<vexa::screen::ScreenCommand> take(int waitMs = 100)
    {
        QList<vexa::screen::ScreenCommand> commands;
        if (!socket.hasPendingDatagrams())
            socket.waitForReadyRead(waitMs);
        while (socket.hasPendingDatagrams()) {
            QByteArray bytes(int(socket.pendingDatagramSize()), '\0');
            socket.readDatagram(bytes.data(), bytes.size());
            vexa::screen::ScreenCommand command;
            std::memset(&command, 0, sizeof command);
            if (bytes.size() == int(sizeof command)) {
                std::memcpy(&command, bytes.constData(), sizeof command);
                commands.append(command);
            } else {
                command.type = -1; // malformed: make the test see it
                commands.append(command);
            }
        }
        return commands;
    }

    QUdpSocket socket;
};

#endif
