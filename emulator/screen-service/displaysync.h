#pragma once

#include <QByteArray>

struct xcb_connection_t;

// Waits until the X server has carried out what its clients sent before
// now, by a round trip over a connection of our own: the server answers only
// after the requests already waiting in its clients' sockets. On the device
// the program draws straight into the frame buffer, so an update or a line
// always finds the program's painting there; here the drawing reaches the
// framebuffer when the X server gets to it.
class DisplaySync
{
public:
    // display: an X display name (":1"); empty: nothing to wait for.
    explicit DisplaySync(const QByteArray& display);
    ~DisplaySync();
    DisplaySync(const DisplaySync&) = delete;
    DisplaySync& operator=(const DisplaySync&) = delete;

    // False when there is no X server to ask (then nothing was waited for).
    bool sync();

private:
    void disconnect();

    QByteArray displayName;
    xcb_connection_t* connection = nullptr;
};
