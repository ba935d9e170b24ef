#include "platform/screen/screenproxy.h"

#include "platform/screen/qtcompat.h"
#include "platform/sys/displayrotation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPoint>
#include <QUdpSocket>
#include <QWidget>

namespace vexa {
namespace screen {

namespace {

// The one record of the process. Static storage starts zeroed; each command
// overwrites only its own fields, and a reply is read back into it.
ScreenCommand g_command;

QUdpSocket* g_socket = nullptr;

void deleteSocket()
{
    delete g_socket;
    g_socket = nullptr;
}

// The process-wide socket, created with the application and connected to the
// service (a datagram socket connects without a round trip). Null before the
// application object exists, since sockets need its event dispatcher.
QUdpSocket* commandSocket()
{
    if (!g_socket) {
        if (!QCoreApplication::instance())
            return nullptr;
        g_socket = new QUdpSocket;
        qAddPostRoutine(deleteSocket);
    }
    // Connecting again while connected only earns a warning from Qt.
    if (g_socket->state() == QAbstractSocket::UnconnectedState)
        g_socket->connectToHost(QHostAddress(QHostAddress::LocalHost), ScreenProxy::PORT,
                                QIODevice::ReadWrite);
    return g_socket;
}

void readReplyInto(QUdpSocket* socket)
{
    socket->readDatagram(reinterpret_cast<char*>(&g_command), sizeof g_command);
}

// Sends the record; with REPLY_WAIT blocks until the service answers, at most
// REPLY_TIMEOUT_MS in all.
void sendCommand(ScreenCommand::WaitMode wait)
{
    QUdpSocket* socket = commandSocket();
    if (!socket)
        return;
    const bool replyWait = (wait & ScreenCommand::REPLY_WAIT) != 0;
    if (replyWait) {
        // A late answer to an earlier command must not end this wait before
        // the service has done this one.
        char stale[sizeof g_command];
        while (socket->hasPendingDatagrams())
            socket->readDatagram(stale, sizeof stale);
    }
    const char* record = reinterpret_cast<const char*>(&g_command);
    qint64 written = socket->write(record, sizeof g_command);
    if (written < 0) {
        // The host's "port unreachable" for an earlier datagram, sent while
        // the service was away, fails this send without sending it (Qt does
        // not say why); the error is consumed by then, so try once more.
        written = socket->write(record, sizeof g_command);
    }
    if (written != qint64(sizeof g_command))
        qDebug() << "screen command not delivered:" << socket->errorString();
    if (!replyWait)
        return;

    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (socket->hasPendingDatagrams()) {
            readReplyInto(socket);
            return;
        }
        const qint64 left = ScreenProxy::REPLY_TIMEOUT_MS - timer.elapsed();
        if (left <= 0)
            return;
        // An ICMP "port unreachable" from an absent service wakes the wait
        // without data; keep waiting for the rest of the time.
        socket->waitForReadyRead(int(left));
    }
}

} // namespace

ScreenProxy::ScreenProxy()
{
    commandSocket();
}

ScreenProxy& ScreenProxy::instance()
{
    static ScreenProxy proxy;
    return proxy;
}

void ScreenProxy::setGCInterval(int interval)
{
    gc_interval = interval;
}

void ScreenProxy::setDefaultWaveform(Waveform w)
{
    default_waveform = (w == NO_WAVEFORM) ? GC : w;
}

void ScreenProxy::setWaveformPolicy(WaveformPolicy policy)
{
    waveform_policy = policy;
}

ScreenProxy::WaveformPolicy ScreenProxy::waveformPolicy() const
{
    return waveform_policy;
}

void ScreenProxy::increaseGUCount()
{
    ++gu_count;
}

void ScreenProxy::resetGUCount()
{
    gu_count = 0;
}

ScreenProxy::Waveform ScreenProxy::resolved(Waveform w) const
{
    return w == NO_WAVEFORM ? default_waveform : w;
}

void ScreenProxy::drain(int ms)
{
    // A flush run from inside another one must not end the outer suppression.
    const bool wasEnabled = enabled;
    enabled = false;
    QElapsedTimer timer;
    timer.start();
    while (hasPendingEvents()) {
        if (timer.elapsed() > ms)
            break;
        QCoreApplication::processEvents();
    }
    enabled = wasEnabled;
}

void ScreenProxy::flush(int ms)
{
    drain(ms);
}

void ScreenProxy::flush(const QWidget* widget, Waveform w, bool full_update,
                        ScreenCommand::WaitMode wait)
{
    drain(REPLY_TIMEOUT_MS);
    sendRegion(widget, nullptr, w, full_update, wait, false);
}

void ScreenProxy::updateScreen(Waveform w, ScreenCommand::WaitMode wait)
{
    g_command.type = ScreenCommand::UPDATE_SCREEN;
    g_command.waveform = resolved(w);
    g_command.partial = 0;
    g_command.wait = wait;
    sendCommand(wait);
}

void ScreenProxy::updateWidget(const QWidget* widget, Waveform w, bool full_update,
                               ScreenCommand::WaitMode wait)
{
    sendRegion(widget, nullptr, w, full_update, wait, true);
}

void ScreenProxy::updateWidgetRegion(const QWidget* widget, const QRect& rect, Waveform w,
                                     bool full_update, ScreenCommand::WaitMode wait)
{
    sendRegion(widget, &rect, w, full_update, wait, true);
}

void ScreenProxy::updateWidgetWithGCInterval(const QWidget* widget, const QRect* rect, Waveform w,
                                             bool full_update, ScreenCommand::WaitMode wait)
{
    w = resolved(w);
    if (w == GU || w == 5) {
        ++gu_count;
        if (gc_interval != 0 && gu_count >= gc_interval)
            w = GC;
    }
    if (w == GC)
        gu_count = 0;
    sendRegion(widget, rect, w, full_update, wait, true);
}

void ScreenProxy::sendRegion(const QWidget* widget, const QRect* rect, Waveform w,
                             bool full_update, ScreenCommand::WaitMode wait, bool respectEnabled)
{
    w = resolved(w);
    // While a flush drains events only direct (DW) updates get through; the
    // flush's own update afterwards covers the rest.
    if (respectEnabled && !enabled && w != DW)
        return;
    const QRect& r = screenRegion(widget, rect);
    g_command.type = ScreenCommand::UPDATE_REGION;
    g_command.waveform = w;
    g_command.partial = full_update ? 0 : 1;
    g_command.top = r.top();
    g_command.left = r.left();
    g_command.width = r.width();
    g_command.height = r.height();
    g_command.wait = wait;
    sendCommand(wait);
}

void ScreenProxy::sync(const QWidget* widget, const QRect* rect)
{
    const QRect& r = screenRegion(widget, rect);
    g_command.type = ScreenCommand::SYNC;
    g_command.top = r.top();
    g_command.left = r.left();
    g_command.width = r.width();
    g_command.height = r.height();
    g_command.wait = ScreenCommand::SERVICE_WAIT;
    sendCommand(ScreenCommand::SERVICE_WAIT);
}

void ScreenProxy::ensureUpdateFinished()
{
    g_command.type = ScreenCommand::WAIT_FOR_FINISHED;
    g_command.wait = ScreenCommand::SERVICE_WAIT;
    sendCommand(ScreenCommand::SERVICE_WAIT);
}

void ScreenProxy::drawLine(int x1, int y1, int x2, int y2, unsigned char color, int size)
{
    g_command.type = ScreenCommand::DRAW_LINE;
    g_command.points[0] = {x1, y1};
    g_command.points[1] = {x2, y2};
    g_command.color = color;
    g_command.size = size;
    g_command.wait = ScreenCommand::NO_WAIT;
    sendCommand(ScreenCommand::NO_WAIT);
}

void ScreenProxy::drawLines(const QPoint* points, int count, unsigned char color, int size)
{
    if (count < 0 || count > ScreenCommand::MAX_POINTS || (count > 0 && !points))
        return;
    g_command.type = ScreenCommand::DRAW_LINES;
    for (int i = 0; i < count; ++i)
        g_command.points[i] = {points[i].x(), points[i].y()};
    g_command.point_count = count;
    g_command.color = color;
    g_command.size = size;
    g_command.wait = ScreenCommand::NO_WAIT;
    sendCommand(ScreenCommand::NO_WAIT);
}

void ScreenProxy::fillScreen(unsigned char color)
{
    g_command.type = ScreenCommand::FILL_SCREEN;
    g_command.waveform = GC;
    g_command.partial = 0;
    g_command.color = color;
    g_command.wait = ScreenCommand::SERVICE_WAIT;
    sendCommand(ScreenCommand::SERVICE_WAIT);
}

const QRect& ScreenProxy::screenRegion(const QWidget* widget, const QRect* rect)
{
    const QRect screen = desktopGeometry();
    QRect r = screen;
    if (widget)
        r = QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    if (rect)
        r = *rect;
    region = mapToPanel(r, screen, sys::DisplayRotation::degrees());
    return region;
}

QRect ScreenProxy::mapToPanel(const QRect& logical, const QRect& screen, int degrees)
{
    // The panel is not rotated; the logical screen is. A quarter turn swaps
    // the screen's sides.
    const int W = screen.width();
    const int H = screen.height();
    const int x1 = logical.left();
    const int y1 = logical.top();
    const int x2 = logical.right();
    const int y2 = logical.bottom();
    QRect r = logical;
    QRect bounds = screen;
    const QRect transposed(screen.topLeft(), QSize(H, W));
    switch (degrees) {
    case 90:
        r.setCoords(y1, W - 1 - x2, y2, W - 1 - x1);
        bounds = transposed;
        break;
    case 180:
        qDebug("destk %d %d rect %d %d %d %d", W, H, x1, y1, logical.width(), logical.height());
        r.setCoords(W - 1 - x2, H - 1 - y2, W - 1 - x1, H - 1 - y1);
        break;
    case 270:
        r.setCoords(H - 1 - y2, x1, H - 1 - y1, x2);
        bounds = transposed;
        break;
    default:
        break;
    }
    return r.intersected(bounds);
}

} // namespace screen
} // namespace vexa
