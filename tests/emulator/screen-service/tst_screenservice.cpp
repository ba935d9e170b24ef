// The screen-service process on a real X server: a line it draws goes into
// the framebuffer Xvfb shares with its clients (the X server itself then
// shows it) and reaches the panel with the next update.
#include "support/files.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"
#include "xwdframebuffer.h"

#include <QJsonDocument>
#include <QtTest>

using namespace support::wire;

class ScreenServiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineThroughTheXServer()
    {
        REQUIRE_SANDBOX();
        QTemporaryDir dir;
        support::Xvfb x;
        QVERIFY(x.start(QStringLiteral(":57"), QSize(600, 800), dir.path()));
        // The service waits for this X server before each command.
        qputenv("DISPLAY", ":57");
        support::ScreenService service;
        QVERIFY(service.start({ "--fbdir", dir.path(), "--panel-raw", dir.filePath("panel.raw") }));
        QUdpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), Port);
        auto send = [&](const QByteArray& command) {
            client.write(command);
            return client.waitForReadyRead(3000) && client.readDatagram(nullptr, 0) >= 0;
        };
        // A white line round (10,20)-(109,59) on the X screen's own root
        // pattern, and the update that carries it, both answered once applied.
        QMap<int, qint32> line{ { Type, DrawLines }, { PointCount, 5 }, { Color, 255 }, { Size, 1 }, { Wait, 2 } };
        const QPoint corners[] = { { 10, 20 }, { 109, 20 }, { 109, 59 }, { 10, 59 }, { 10, 20 } };
        for (int i = 0; i < 5; ++i) {
            line.insert(Points + 8 * i, corners[i].x());
            line.insert(Points + 8 * i + 4, corners[i].y());
        }
        XwdFramebuffer before;
        QTRY_VERIFY(before.open(dir.filePath("Xvfb_screen0")));
        QByteArray expected = before.grey();
        for (int y = 20; y <= 59; ++y)
            for (int x = 10; x <= 109; ++x)
                expected[y * 600 + x] = x == 10 || x == 109 || y == 20 || y == 59 ? char(255) : expected[y * 600 + x];
        QVERIFY(send(support::makeRecord(line)));
        QVERIFY(send(support::makeRecord({ { Type, UpdateScreen }, { Waveform, 3 }, { Wait, 2 } })));

        client.write("STATS?");
        QVERIFY(client.waitForReadyRead(3000));
        QByteArray reply(1 << 16, '\0');
        reply.resize(int(client.readDatagram(reply.data(), reply.size())));
        const QJsonObject stats = QJsonDocument::fromJson(reply).object();
        QCOMPARE(stats.value("outline_pixels").toInt(), 276);
        QCOMPARE(stats.value("stale_pixels").toInt(), 0);

        // The X server shows the line too (asked last: Xvfb starts afresh
        // when its last client leaves).
        QProcess xwd;
        xwd.setStandardOutputFile(dir.filePath("root.xwd"));
        xwd.start("env", { "DISPLAY=:57", "xwd", "-root", "-silent" });
        QVERIFY(xwd.waitForFinished(10000) && xwd.exitCode() == 0);
        XwdFramebuffer root;
        QVERIFY(root.open(dir.filePath("root.xwd")));
        QVERIFY(root.grey() == expected);
        // The panel's picture follows within a write interval.
        QTRY_VERIFY(support::readFile(dir.filePath("panel.raw")) == expected);
    }
};

QTEST_GUILESS_MAIN(ScreenServiceTest)
#include "tst_screenservice.moc"
