#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QRect>
#include <QUdpSocket>

namespace support {

// The screen service's 164-byte command, its offsets written out here so that
// tests check the program's real layout rather than restate it.
namespace wire {
const quint16 Port = 5678;
const int CommandSize = 164;
enum Offset {
    Type = 0, Waveform = 4, Partial = 8, Top = 12, Left = 16, Width = 20, Height = 24, Points = 28,
    PointCount = 148, Color = 152, Size = 156, Wait = 160
};
enum CommandType { UpdateScreen = 2, UpdateRegion = 3, DrawLine = 4, DrawLines = 5, FillScreen = 6 };
} // namespace wire

qint32 field(const QByteArray& command, int offset);
// The left, top, width and height fields.
QRect regionOf(const QByteArray& command);
// A command with the given fields (offset -> value), the rest fill bytes.
QByteArray makeRecord(const QMap<int, qint32>& fields, char fill = 0);

// Stands where the screen service listens (the sandbox's private loopback)
// and hands out what the program sends.
class ScreenListener
{
public:
    bool bind() { return socket.bind(QHostAddress(QHostAddress::LocalHost), wire::Port); }
    // The next command, null when none came within timeoutMs.
    QByteArray next(int timeoutMs = 2000);
    // Everything that arrives until settleMs pass without a command.
    QList<QByteArray> takeAll(int settleMs = 100);
    // Answers whoever sent the last command.
    void answer(const QByteArray& data) { socket.writeDatagram(data, sender, senderPort); }

    QUdpSocket socket;

private:
    QHostAddress sender;
    quint16 senderPort = 0;
};

} // namespace support
