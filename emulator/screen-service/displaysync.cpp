#include "displaysync.h"

#include <xcb/xcb.h>

#include <cstdlib>

DisplaySync::DisplaySync(const QByteArray& display)
    : displayName(display)
{
}

DisplaySync::~DisplaySync()
{
    disconnect();
}

void DisplaySync::disconnect()
{
    if (connection)
        xcb_disconnect(connection);
    connection = nullptr;
}

bool DisplaySync::sync()
{
    if (displayName.isEmpty())
        return false;
    // The X server may start after us, or start again.
    if (connection && xcb_connection_has_error(connection))
        disconnect();
    if (!connection) {
        connection = xcb_connect(displayName.constData(), nullptr);
        if (xcb_connection_has_error(connection)) {
            disconnect();
            return false;
        }
    }
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    const bool answered = reply != nullptr;
    std::free(reply);
    return answered;
}
