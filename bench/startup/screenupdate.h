#pragma once

// What a reference program sends once its window has painted: one screen
// update request to the screen service, as lirro's first one.
#include "platform/screen/screencommand.h"
#include "platform/screen/screenproxy.h"

#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>

class QPaintEvent;

namespace bench {

inline void sendScreenUpdate()
{
    vexa::screen::ScreenCommand command {};
    command.type = vexa::screen::ScreenCommand::UPDATE_SCREEN;
    QUdpSocket socket;
    socket.writeDatagram(reinterpret_cast<const char*>(&command), sizeof command,
                         QHostAddress::LocalHost, vexa::screen::ScreenProxy::Port);
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
