// The screen-service process: one JSON line per datagram, answers only to
// commands that wait for one, options.

#include <QElapsedTimer>
#include "support/sandbox.h"
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

namespace {

QString serviceProgram()
{
    return qEnvironmentVariable("LIRRO_BUILD_DIR") + QStringLiteral("/emulator/screen-service/screen-service");
}

QByteArray command(qint32 type, qint32 wait)
{
    qint32 words[41] = {};
    words[0] = type;
    words[1] = 3;
    words[40] = wait;
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words);
}

QList<QJsonObject> readLog(const QString& path, int count)
{
    QList<QJsonObject> out;
    QElapsedTimer timer;
    timer.start();
    do {
        out.clear();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.isEmpty())
                    continue;
                QJsonParseError error;
                const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
                if (error.error != QJsonParseError::NoError)
                    qWarning("not JSON: %s", line.constData());
                out.append(doc.object());
            }
        }
        if (out.size() >= count)
            break;
        QThread::msleep(5);
    } while (timer.elapsed() < 3000);
    return out;
}

bool waitForReadyLine(QProcess& process)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        if (process.canReadLine() && process.readLine().trimmed() == "ready")
            return true;
        process.waitForReadyRead(100);
    }
    return false;
}

} // namespace

class ScreenServiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(QFile::exists(serviceProgram()));
    }

    void logsAndAnswers()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("log.jsonl");
        QProcess service;
        service.setReadChannel(QProcess::StandardError);
        service.start(serviceProgram(), {"--port", "6001", "--log", log});
        QVERIFY(waitForReadyLine(service));

        QUdpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), 6001);
        QVERIFY(client.waitForConnected(1000));

        // No answer without bit 2, nor to a short datagram.
        client.write(command(2, 1));
        client.write(QByteArray(10, 'x'));
        QVERIFY(!client.waitForReadyRead(300));

        // An answer of the record's size to bit 2, after the entry is logged.
        const QByteArray sent = command(3, 3);
        client.write(sent);
        QVERIFY(client.waitForReadyRead(2000));
        QByteArray reply(200, '\0');
        reply.resize(int(client.readDatagram(reply.data(), reply.size())));
        QCOMPARE(reply.size(), 164);
        QCOMPARE(reply, sent);

        const QList<QJsonObject> entries = readLog(log, 3);
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].value("seq").toInt(), 1);
        QCOMPARE(entries[0].value("type").toString(), QStringLiteral("UPDATE_SCREEN"));
        QCOMPARE(entries[1].value("seq").toInt(), 2);
        QCOMPARE(entries[1].value("bytes").toInt(), 10);
        QVERIFY(entries[1].contains("error"));
        QCOMPARE(entries[2].value("type").toString(), QStringLiteral("UPDATE_REGION"));
        QCOMPARE(entries[2].value("wait").toInt(), 3);
        for (const QJsonObject& e : entries)
            QVERIFY(e.value("ms").toDouble() >= 0);
        QVERIFY(entries[2].value("ms").toDouble() >= entries[0].value("ms").toDouble());

        service.terminate();
        QVERIFY(service.waitForFinished(3000));
    }

    void options()
    {
        QTemporaryDir dir;
        // Default port, log on standard output, ready file.
        const QString ready = dir.filePath("ready");
        QProcess service;
        service.start(serviceProgram(), {"--ready-file", ready});
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(ready) && timer.elapsed() < 5000)
            QThread::msleep(5);
        QVERIFY(QFile::exists(ready));
        QUdpSocket client;
        client.writeDatagram(command(0, 1), QHostAddress(QHostAddress::LocalHost), 5678);
        QVERIFY(service.waitForReadyRead(2000));
        const QJsonObject entry = QJsonDocument::fromJson(service.readLine()).object();
        QCOMPARE(entry.value("type").toString(), QStringLiteral("WAIT_FOR_FINISHED"));

        // A second one cannot take the port.
        QProcess second;
        second.start(serviceProgram(), {"--port", "5678"});
        QVERIFY(second.waitForFinished(3000));
        QCOMPARE(second.exitCode(), 1);

        QProcess bad;
        bad.start(serviceProgram(), {"--port", "70000"});
        QVERIFY(bad.waitForFinished(3000));
        QCOMPARE(bad.exitCode(), 2);

        service.terminate();
        QVERIFY(service.waitForFinished(3000));
    }
};

QTEST_GUILESS_MAIN(ScreenServiceTest)
#include "tst_screenservice.moc"
