#pragma once

// What a reference program sends once its window has painted: one screen
// update request to the screen service's port, as lirro's first one.
#include <QByteArray>
#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>

class QPaintEvent;

#include <cstring>

namespace bench {

const int CommandSize = 164;
const qint32 UpdateScreen = 2;
const quint16 ScreenPort = 5678;

inline void sendScreenUpdate()
{
    QByteArray command(CommandSize, '\0');
    std::memcpy(command.data(), &UpdateScreen, sizeof UpdateScreen);
    QUdpSocket socket;
    socket.writeDatagram(command, QHostAddress::LocalHost, ScreenPort);
}

// A widget that sends the update once, when its first paint is over.
template <typename Widget>
class UpdatesAfterFirstPaint : public Widget
{
protected:
    void paintEvent(QPaintEvent* event) override
    {
        Widget::paintEvent(event);
        if (sent)
            return;
        sent = true;
        QTimer::singleShot(0, this, &sendScreenUpdate);
    }

private:
    bool sent = false;
};

} // namespace bench
