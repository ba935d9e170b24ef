#pragma once

// Stand-ins for the screen service used by the screen client tests: a bare
// socket where exact bytes matter, and the real screen-service process where
// the whole exchange (log, reply) matters.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>
#include <QtEndian>

namespace screentest {

constexpr quint16 kPort = 5678;
constexpr int kCommandSize = 164;

// Wire offsets, written out here so that the tests check the record's real
// layout rather than restate it.
enum Offset {
    O_TYPE = 0,
    O_WAVEFORM = 4,
    O_PARTIAL = 8,
    O_TOP = 12,
    O_LEFT = 16,
    O_WIDTH = 20,
    O_HEIGHT = 24,
    O_POINTS = 28,
    O_POINT_COUNT = 148,
    O_COLOR = 152,
    O_SIZE = 156,
    O_WAIT = 160,
};

inline qint32 field(const QByteArray& d, int offset)
{
    return qFromUnaligned<qint32>(d.constData() + offset);
}

inline QPoint pointAt(const QByteArray& d, int index)
{
    return QPoint(field(d, O_POINTS + 8 * index), field(d, O_POINTS + 8 * index + 4));
}

// Binds 127.0.0.1:5678 and hands out what arrives; never answers.
class RawReceiver
{
public:
    bool bind() { return socket.bind(QHostAddress(QHostAddress::LocalHost), kPort); }
    void close() { socket.close(); }

    // The next datagram, empty when none came within timeoutMs.
    QByteArray next(int timeoutMs = 2000)
    {
        if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(timeoutMs))
            return QByteArray();
        QByteArray data(int(socket.pendingDatagramSize()), '\0');
        socket.readDatagram(data.data(), data.size(), &sender, &senderPort);
        return data;
    }

    // Answers whoever sent the last datagram.
    void answer(const QByteArray& data) { socket.writeDatagram(data, sender, senderPort); }

    // Everything that is waiting now.
    QList<QByteArray> takeAll(int settleMs = 100)
    {
        QList<QByteArray> all;
        for (;;) {
            const QByteArray d = next(settleMs);
            if (d.isNull())
                return all;
            all.append(d);
        }
    }

private:
    QUdpSocket socket;
    QHostAddress sender;
    quint16 senderPort = 0;
};

// The real screen-service binary, logging to a private file.
class ServiceProcess
{
public:
    ~ServiceProcess() { stop(); }

    bool start()
    {
        const QString program = qEnvironmentVariable("LIRRO_BUILD_DIR")
            + QStringLiteral("/emulator/screen-service/screen-service");
        const QString ready = dir.filePath(QStringLiteral("ready"));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, {QStringLiteral("--log"), logPath(), QStringLiteral("--ready-file"), ready});
        if (!process.waitForStarted(5000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(ready)) {
            if (timer.elapsed() > 5000 || process.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(5);
        }
        return true;
    }

    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    QString logPath() const { return dir.filePath(QStringLiteral("commands.jsonl")); }

    // The log entries written so far, waiting until there are at least count.
    QList<QJsonObject> entries(int count, int timeoutMs = 3000)
    {
        QList<QJsonObject> out;
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            out.clear();
            QFile file(logPath());
            if (file.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : file.readAll().split('\n')) {
                    if (!line.isEmpty())
                        out.append(QJsonDocument::fromJson(line).object());
                }
            }
            if (out.size() >= count || timer.elapsed() > timeoutMs)
                return out;
            QThread::msleep(5);
        }
    }

private:
    QTemporaryDir dir;
    QProcess process;
};

} // namespace screentest
