#include "platform/screen/screenproxy.h"

#include "platform/logging.h"
#include "platform/screen/qtcompat.h"
#include "platform/sys/displayrotation.h"

#include <QCoreApplication>
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
ScreenCommand record;

QUdpSocket* socketInstance = nullptr;

void deleteSocket()
{
    delete socketInstance;
    socketInstance = nullptr;
}

// The process-wide socket, created with the application and connected to the
// service (a datagram socket connects without a round trip). Null before the
// application object exists, since sockets need its event dispatcher.
QUdpSocket* commandSocket()
{
    if (!socketInstance) {
        if (!QCoreApplication::instance())
            return nullptr;
        socketInstance = new QUdpSocket;
        qAddPostRoutine(deleteSocket);
    }
    // Connecting again while connected only earns a warning from Qt.
    if (socketInstance->state() == QAbstractSocket::UnconnectedState)
        socketInstance->connectToHost(QHostAddress(QHostAddress::LocalHost), ScreenProxy::Port,
                                      QIODevice::ReadWrite);
    return socketInstance;
}

void readReplyInto(QUdpSocket* socket)
{
    socket->readDatagram(reinterpret_cast<char*>(&record), sizeof record);
}

// Sends the record; with REPLY_WAIT blocks until the service answers, at most
// ReplyTimeoutMs in all.
void sendCommand(ScreenCommand::WaitMode wait)
{
    QUdpSocket* socket = commandSocket();
    if (!socket)
        return;
    const bool replyWait = (wait & ScreenCommand::REPLY_WAIT) != 0;
    if (replyWait) {
        // A late answer to an earlier command must not end this wait before
        // the service has done this one.
        char stale[sizeof record];
        while (socket->hasPendingDatagrams())
            socket->readDatagram(stale, sizeof stale);
    }
    const char* bytes = reinterpret_cast<const char*>(&record);
    qint64 written = socket->write(bytes, sizeof record);
    if (written < 0) {
        // The host's "port unreachable" for an earlier datagram, sent while
        // the service was away, fails this send without sending it (Qt does
        // not say why); the error is consumed by then, so try once more.
        written = socket->write(bytes, sizeof record);
    }
    if (written != qint64(sizeof record))
        qCDebug(lcScreen) << "screen command not delivered:" << socket->errorString();
    if (!replyWait)
        return;

    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (socket->hasPendingDatagrams()) {
            readReplyInto(socket);
            return;
        }
        const qint64 left = ScreenProxy::ReplyTimeoutMs - timer.elapsed();
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
    updatesPerGc = interval;
}

void ScreenProxy::setDefaultWaveform(Waveform w)
{
    fallbackWaveform = (w == NO_WAVEFORM) ? GC : w;
}

void ScreenProxy::setWaveformPolicy(WaveformPolicy policy)
{
    storedPolicy = policy;
}

ScreenProxy::WaveformPolicy ScreenProxy::waveformPolicy() const
{
    return storedPolicy;
}

void ScreenProxy::increaseGUCount()
{
    ++guSinceGc;
}

void ScreenProxy::resetGUCount()
{
    guSinceGc = 0;
}

ScreenProxy::Waveform ScreenProxy::resolved(Waveform w) const
{
    return w == NO_WAVEFORM ? fallbackWaveform : w;
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

void ScreenProxy::flush(const QWidget* widget, Waveform w, bool fullUpdate,
                        ScreenCommand::WaitMode wait)
{
    drain(ReplyTimeoutMs);
    sendRegion(widget, nullptr, w, fullUpdate, wait, false);
}

void ScreenProxy::updateScreen(Waveform w, ScreenCommand::WaitMode wait)
{
    record.type = ScreenCommand::UPDATE_SCREEN;
    record.waveform = resolved(w);
    record.partial = 0;
    record.wait = wait;
    sendCommand(wait);
}

void ScreenProxy::updateWidget(const QWidget* widget, Waveform w, bool fullUpdate,
                               ScreenCommand::WaitMode wait)
{
    sendRegion(widget, nullptr, w, fullUpdate, wait, true);
}

void ScreenProxy::updateWidgetRegion(const QWidget* widget, const QRect& rect, Waveform w,
                                     bool fullUpdate, ScreenCommand::WaitMode wait)
{
    sendRegion(widget, &rect, w, fullUpdate, wait, true);
}

void ScreenProxy::updateWidgetWithGCInterval(const QWidget* widget, const QRect* rect, Waveform w,
                                             bool fullUpdate, ScreenCommand::WaitMode wait)
{
    w = resolved(w);
    if (w == GU || w == 5) {
        ++guSinceGc;
        if (updatesPerGc != 0 && guSinceGc >= updatesPerGc)
            w = GC;
    }
    if (w == GC)
        guSinceGc = 0;
    sendRegion(widget, rect, w, fullUpdate, wait, true);
}

void ScreenProxy::sendRegion(const QWidget* widget, const QRect* rect, Waveform w,
                             bool fullUpdate, ScreenCommand::WaitMode wait, bool respectEnabled)
{
    w = resolved(w);
    // While a flush drains events only direct (DW) updates get through; the
    // flush's own update afterwards covers the rest.
    if (respectEnabled && !enabled && w != DW)
        return;
    const QRect& r = screenRegion(widget, rect);
    record.type = ScreenCommand::UPDATE_REGION;
    record.waveform = w;
    record.partial = fullUpdate ? 0 : 1;
    record.top = r.top();
    record.left = r.left();
    record.width = r.width();
    record.height = r.height();
    record.wait = wait;
    sendCommand(wait);
}

void ScreenProxy::sync(const QWidget* widget, const QRect* rect)
{
    const QRect& r = screenRegion(widget, rect);
    record.type = ScreenCommand::SYNC;
    record.top = r.top();
    record.left = r.left();
    record.width = r.width();
    record.height = r.height();
    record.wait = ScreenCommand::SERVICE_WAIT;
    sendCommand(ScreenCommand::SERVICE_WAIT);
}

void ScreenProxy::ensureUpdateFinished()
{
    record.type = ScreenCommand::WAIT_FOR_FINISHED;
    record.wait = ScreenCommand::SERVICE_WAIT;
    sendCommand(ScreenCommand::SERVICE_WAIT);
}

void ScreenProxy::drawLine(int x1, int y1, int x2, int y2, unsigned char color, int size)
{
    record.type = ScreenCommand::DRAW_LINE;
    record.points[0] = {x1, y1};
    record.points[1] = {x2, y2};
    record.color = color;
    record.size = size;
    record.wait = ScreenCommand::NO_WAIT;
    sendCommand(ScreenCommand::NO_WAIT);
}

void ScreenProxy::drawLines(const QPoint* points, int count, unsigned char color, int size)
{
    if (count < 0 || count > ScreenCommand::MaxPoints || (count > 0 && !points))
        return;
    record.type = ScreenCommand::DRAW_LINES;
    for (int i = 0; i < count; ++i)
        record.points[i] = {points[i].x(), points[i].y()};
    record.pointCount = count;
    record.color = color;
    record.size = size;
    record.wait = ScreenCommand::NO_WAIT;
    sendCommand(ScreenCommand::NO_WAIT);
}

void ScreenProxy::fillScreen(unsigned char color)
{
    record.type = ScreenCommand::FILL_SCREEN;
    record.waveform = GC;
    record.partial = 0;
    record.color = color;
    record.wait = ScreenCommand::SERVICE_WAIT;
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

QRect ScreenProxy::toPanel(const QRect& logical, const QSize& screen, int degrees)
{
    // The panel is not rotated; the logical screen is.
    const int w = screen.width();
    const int h = screen.height();
    const int x1 = logical.left();
    const int y1 = logical.top();
    const int x2 = logical.right();
    const int y2 = logical.bottom();
    QRect r = logical;
    switch (degrees) {
    case 90:
        r.setCoords(y1, w - 1 - x2, y2, w - 1 - x1);
        break;
    case 180:
        qCDebug(lcScreen, "desktop %d %d rect %d %d %d %d", w, h, x1, y1, logical.width(),
                logical.height());
        r.setCoords(w - 1 - x2, h - 1 - y2, w - 1 - x1, h - 1 - y1);
        break;
    case 270:
        r.setCoords(h - 1 - y2, x1, h - 1 - y1, x2);
        break;
    default:
        break;
    }
    return r;
}

QRect ScreenProxy::mapToPanel(const QRect& logical, const QRect& screen, int degrees)
{
    const bool quarterTurn = degrees == 90 || degrees == 270;
    const QRect panel(screen.topLeft(), quarterTurn ? screen.size().transposed() : screen.size());
    return toPanel(logical, screen.size(), degrees).intersected(panel);
}

} // namespace screen
} // namespace vexa
