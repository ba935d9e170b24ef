// The screen-service process on a real X server: a line it draws goes into
// the framebuffer Xvfb shares with its clients (the X server itself then
// shows it) and reaches the panel with the next update.
#include "support/files.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"
#include "xwdframebuffer.h"

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
        support::HelperProcess x;
        QVERIFY(x.startUntil("Xvfb", { ":57", "-screen", "0", "600x800x24", "-nolisten", "tcp", "-nocursor", "-noreset",
                                       "-fbdir", dir.path() },
                             [] { return QFile::exists("/tmp/.X11-unix/X57"); }));
        // The service waits for this X server before each command.
        qputenv("DISPLAY", ":57");
        support::HelperProcess service;
        QVERIFY(service.start(support::buildProgram("emulator/screen-service/screen-service"),
                              { "--fbdir", dir.path(), "--panel-raw", dir.filePath("panel.raw") }));
        QUdpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), Port);
        auto send = [&](const QByteArray& command) {
            client.write(command);
            return client.waitForReadyRead(3000) && client.readDatagram(nullptr, 0) >= 0;
        };
        // A white line from (10,20) to (109,20) on the X screen's own root
        // pattern, and the update that carries it, both answered once applied.
        XwdFramebuffer before;
        QTRY_VERIFY(before.open(dir.filePath("Xvfb_screen0")));
        QByteArray expected = before.grey();
        expected.replace(20 * 600 + 10, 100, QByteArray(100, char(255)));
        QVERIFY(send(support::makeRecord({ { Type, DrawLine }, { Points, 10 }, { Points + 4, 20 }, { Points + 8, 109 },
                                           { Points + 12, 20 }, { Color, 255 }, { Size, 1 }, { Wait, 2 } })));
        QVERIFY(send(support::makeRecord({ { Type, UpdateScreen }, { Waveform, 3 }, { Wait, 2 } })));

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
