// The screen client and its update watcher, as the screen service's port
// receives their datagrams: the record's layout, flushes, the GC interval,
// rotation, replies; the watcher's queueing, merging and choice of pass.

#include "platform/screen/qtcompat.h"
#include "platform/screen/screenproxy.h"
#include "platform/screen/screenupdatewatcher.h"
#include "platform/sys/displayrotation.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QWidget>
#include <QtTest>

#include <functional>

using namespace support;
using vexa::screen::ScreenCommand;
using vexa::screen::ScreenProxy;

namespace {

const auto BothWaits = ScreenCommand::SERVICE_WAIT | ScreenCommand::REPLY_WAIT;
const char* const WaveformNames[] = {"none", "DW", "2", "GU", "GC", "5"};

} // namespace

class ScreenTest : public QObject
{
    Q_OBJECT

    ScreenProxy& proxy = ScreenProxy::instance();
    vexa::screen::ScreenUpdateWatcher& watcher = vexa::screen::watcher();
    ScreenListener rx;
    QWidget widget;

    // The region update the watcher sent: waveform name, wait and region;
    // "none" when nothing came.
    QString sent(QRect* region = nullptr)
    {
        // Once Qt is idle the watcher has sent what it was going to, and the
        // loopback has delivered it.
        if (!QTest::qWaitFor([&] {
                return rx.socket.hasPendingDatagrams() || !vexa::screen::hasPendingEvents();
            }, 5000))
            return QStringLiteral("Qt never idle");
        const QByteArray d = rx.next(0);
        if (region)
            *region = regionOf(d);
        return d.isNull() ? QStringLiteral("none")
                          : QString::fromLatin1(WaveformNames[field(d, wire::Waveform)])
                                + QStringLiteral(" %1").arg(field(d, wire::Wait));
    }

private Q_SLOTS:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        // Set for this test by its CMake entry.
        QCOMPARE(sys::DisplayRotation::degrees(), 270);
        sys::DisplayRotation::setDegrees(0);
        QVERIFY(rx.bind());
        widget.setGeometry(40, 50, 200, 100);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QTRY_VERIFY(!vexa::screen::hasPendingEvents());
    }

    void firstCommandOnZeroedRecordAndLayout()
    {
        // Must stay the first command of the process: the record starts zeroed.
        proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);
        QCOMPARE(rx.next(), makeRecord({{wire::Type, 2}, {wire::Waveform, 3}}));

        proxy.updateWidgetRegion(nullptr, QRect(10, 20, 30, 40), ScreenProxy::GU, false,
                                 ScreenCommand::SERVICE_WAIT);
        QCOMPARE(rx.next(), makeRecord({{wire::Type, 3}, {wire::Waveform, 3}, {wire::Partial, 1},
                                        {wire::Top, 20}, {wire::Left, 10}, {wire::Width, 30},
                                        {wire::Height, 40}, {wire::Wait, 1}}));
        // The default waveform stands in for none, and can't itself be none.
        proxy.setDefaultWaveform(ScreenProxy::NO_WAVEFORM);
        proxy.updateScreen(ScreenProxy::NO_WAVEFORM, ScreenCommand::NO_WAIT);
        QCOMPARE(field(rx.next(), wire::Waveform), int(ScreenProxy::GC));
    }

    void flushSuppressesRegionUpdates()
    {
        rx.takeAll();
        // Run from the queue that the flush drains.
        QMetaObject::invokeMethod(&widget, [&] {
            proxy.updateWidget(&widget, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
            proxy.updateWidgetWithGCInterval(&widget, nullptr, ScreenProxy::GC, false, ScreenCommand::NO_WAIT);
            proxy.updateWidget(&widget, ScreenProxy::DW, false, ScreenCommand::NO_WAIT); // sent
            proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);           // sent
            proxy.flush(10); // an inner flush leaves the outer one suppressing
            proxy.updateWidget(&widget, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
        }, Qt::QueuedConnection);
        proxy.flush(&widget, ScreenProxy::GU, true, ScreenCommand::SERVICE_WAIT);
        QVERIFY(proxy.isEnabled());
        const QList<QByteArray> got = rx.takeAll();
        QCOMPARE(got.size(), 3);
        QCOMPARE(field(got[0], wire::Waveform), int(ScreenProxy::DW));
        QCOMPARE(field(got[1], wire::Type), int(wire::UpdateScreen));
        QCOMPARE(regionOf(got[2]), QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size()));
        QCOMPARE(field(got[2], wire::Partial), 0);

        // An event source that never runs dry: the drain stops at its bound.
        QObject source; // its queued calls go with it
        int runs = 0;
        std::function<void()> again = [&] {
            ++runs;
            QMetaObject::invokeMethod(&source, again, Qt::QueuedConnection);
        };
        QMetaObject::invokeMethod(&source, again, Qt::QueuedConnection);
        QElapsedTimer clock;
        clock.start();
        proxy.flush(300);
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(runs > 1);
        QVERIFY(proxy.isEnabled());
    }

    void gcInterval_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<QList<int>>("asked");
        QTest::addColumn<QList<int>>("sent");
        const QList<int> gu{3, 3, 3, 3, 3, 3};
        QTest::newRow("every third") << 3 << gu << QList<int>{3, 3, 4, 3, 3, 4};
        QTest::newRow("never") << 0 << gu << gu;
        QTest::newRow("a GC restarts the count") << 3 << QList<int>{3, 4, 3, 5, 3, 1}
                                                  << QList<int>{3, 4, 3, 5, 4, 1};
    }

    void gcInterval()
    {
        QFETCH(int, interval);
        QFETCH(QList<int>, asked);
        proxy.setGCInterval(interval);
        proxy.resetGUCount();
        const QRect r(0, 0, 20, 20);
        QList<int> got;
        for (int w : asked) {
            proxy.updateWidgetWithGCInterval(nullptr, &r, ScreenProxy::Waveform(w), false,
                                             ScreenCommand::NO_WAIT);
            got << field(rx.next(), wire::Waveform);
        }
        QTEST(got, "sent");
    }

    void drawLinesLimits()
    {
        QPoint pts[16];
        for (int i = 0; i < 16; ++i)
            pts[i] = QPoint(i * 10, i * 20 + 1);
        proxy.drawLines(pts, 16, 0, 1);
        proxy.drawLines(pts, -1, 0, 1);
        proxy.drawLines(nullptr, 3, 0, 1);
        proxy.drawLines(pts, 15, 0x80, 2);
        const QByteArray d = rx.next();
        QCOMPARE(field(d, wire::Type), int(wire::DrawLines));
        QCOMPARE(field(d, wire::PointCount), 15);
        QCOMPARE(field(d, wire::Points + 8 * 14 + 4), pts[14].y());
        QCOMPARE(field(d, wire::Color), 0x80); // a grey level, not a signed byte
        QVERIFY(rx.takeAll().isEmpty());
    }

    void regionsFollowTheDisplay()
    {
        // The running screen, turned as the system manager client turns it,
        // and clipped to the panel.
        const QRect screen = vexa::screen::desktopGeometry();
        const QRect hanging(screen.right() - 9, -5, 30, 20);
        auto sent = [&](int degrees, const QRect& rect) {
            sys::DisplayRotation::setDegrees(degrees);
            proxy.updateWidgetRegion(nullptr, rect, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
            return regionOf(rx.next());
        };
        QCOMPARE(sent(90, screen), QRect(0, 0, screen.height(), screen.width()));
        QCOMPARE(sent(0, hanging), QRect(screen.right() - 9, 0, 10, 15));
    }

    void replyWait()
    {
        // A service that answers ends the wait at once.
        rx.socket.close();
        QElapsedTimer clock;
        {
            QTemporaryDir dir;
            const QString log = dir.filePath("screen-service.log");
            HelperProcess service;
            QVERIFY(service.start(buildProgram("emulator/screen-service/screen-service"), {"--log", log}));
            clock.start();
            proxy.updateScreen(ScreenProxy::GC, BothWaits);
            proxy.flush(nullptr, ScreenProxy::GC, true, BothWaits);
            QVERIFY(clock.elapsed() < ScreenProxy::ReplyTimeoutMs);
            QTRY_COMPARE(readJsonLines(log).size(), 2);
            QCOMPARE(readJsonLines(log)[1].value("wait").toInt(), 3);
        }

        // Someone receives and never answers: the wait ends after its bound.
        QVERIFY(rx.bind());
        clock.restart();
        proxy.updateWidgetRegion(nullptr, QRect(0, 0, 10, 10), ScreenProxy::GU, false, BothWaits);
        QVERIFY(clock.elapsed() >= ScreenProxy::ReplyTimeoutMs - 100);
        const QByteArray request = rx.next();
        // Its answer comes late (on the loopback it is there at once): it
        // must neither end the next wait nor land in the record.
        rx.answer(QByteArray(wire::CommandSize, '\x7f'));
        clock.restart();
        proxy.updateScreen(ScreenProxy::GC, BothWaits);
        QVERIFY(clock.elapsed() >= ScreenProxy::ReplyTimeoutMs - 100);
        QCOMPARE(field(rx.next(), wire::Top), field(request, wire::Top));
    }

    void deliveredAfterServiceWasAway()
    {
        // With nobody listening the host answers "port unreachable"; that
        // must not cost the first command once the service is back.
        rx.socket.close();
        proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);
        // The error is there once the loopback carried what followed it.
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::LocalHost));
        for (int trip = 0; trip < 2; ++trip) {
            probe.writeDatagram("x", QHostAddress::LocalHost, probe.localPort());
            QTRY_VERIFY(probe.hasPendingDatagrams());
            probe.receiveDatagram();
        }
        QVERIFY(rx.bind());
        proxy.updateScreen(ScreenProxy::GC, ScreenCommand::NO_WAIT);
        QCOMPARE(field(rx.next(), wire::Waveform), int(ScreenProxy::GC));
    }

    void merging_data()
    {
        QTest::addColumn<QString>("pass");
        QTest::addColumn<QString>("expected");
        QTest::newRow("automatic: largest waveform and wait") << "updateScreen" << "GC 1";
        QTest::newRow("named pass: its own waveform") << "guUpdateScreen" << "GU 1";
    }

    void merging()
    {
        QFETCH(QString, pass);
        const QRect a(10, 10, 50, 20);
        const QRect b(100, 200, 30, 40);
        watcher.enqueue(nullptr, a, ScreenProxy::DW, ScreenCommand::NO_WAIT);
        watcher.enqueue(nullptr, b, ScreenProxy::GC, ScreenCommand::SERVICE_WAIT);
        watcher.enqueue(nullptr, a, ScreenProxy::GU, ScreenCommand::NO_WAIT);
        QVERIFY(QMetaObject::invokeMethod(&watcher, pass.toLatin1().constData()));
        QVERIFY(watcher.isQueueEmpty());
        QRect region;
        QTEST(sent(&region), "expected");
        QCOMPARE(region, a.united(b));
        watcher.updateScreen(); // nothing queued, nothing sent
        QCOMPARE(sent(), QStringLiteral("none"));
    }

    void enqueueRules()
    {
        QWidget hidden;
        watcher.enqueue(&hidden);
        QVERIFY(watcher.isQueueEmpty());

        // Without a size: the widget's, or the screen's without a widget.
        QRect region;
        watcher.enqueue(&widget, QRect(5, 5, 0, 10), ScreenProxy::GU);
        watcher.updateScreen();
        QCOMPARE(sent(&region), QStringLiteral("GU 1"));
        QCOMPARE(region, QRect(widget.mapToGlobal(QPoint(5, 5)), widget.size()));
        watcher.enqueue(nullptr, QRect(), ScreenProxy::GU);
        watcher.updateScreen();
        QCOMPARE(sent(&region), QStringLiteral("GU 1"));
        QCOMPARE(region, vexa::screen::desktopGeometry());

        // Activating a watched widget refreshes it whole.
        watcher.addWatcher(&widget);
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&widget, &activate);
        QCOMPARE(sent(&region), QStringLiteral("GC 1"));
        QCOMPARE(region, QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size()));
        watcher.removeWatcher(&widget);
    }

    void updateRequestChoosesPass_data()
    {
        // Which pass a repaint schedules shows in the waveform sent for a
        // queued DW item: updateScreen keeps DW, the others send GU or GC.
        QTest::addColumn<int>("interval"); // -2: not registered
        QTest::addColumn<int>("bracketed"); // passes inside a DW bracket
        QTest::addColumn<QStringList>("passes");
        QTest::newRow("every second") << 2 << 0 << QStringList{"GC", "GU", "GC", "GU"};
        QTest::newRow("every one") << 1 << 0 << QStringList{"GC", "GC", "GC"};
        QTest::newRow("never") << 0 << 0 << QStringList{"GU", "GU", "GU"};
        QTest::newRow("filter only") << -1 << 0 << QStringList{"DW", "DW"};
        QTest::newRow("not registered") << -2 << 0 << QStringList{"none"};
        QTest::newRow("DW bracket, then the interval again") << 2 << 2 << QStringList{"DW", "DW", "GC", "GU"};
    }

    void updateRequestChoosesPass()
    {
        QFETCH(int, interval);
        QFETCH(int, bracketed);
        QFETCH(QStringList, passes);
        if (interval >= -1)
            watcher.addWatcher(&widget, interval);
        if (bracketed > 0)
            watcher.dwEnqueueStart(&widget, QRect(1, 2, 3, 4));
        QStringList got;
        for (int i = 0; i < passes.size(); ++i) {
            if (bracketed > 0 && i == bracketed)
                watcher.dwEnqueueEnd(&widget, QRect(1, 2, 3, 4));
            watcher.enqueue(nullptr, QRect(0, 0, 8, 8), ScreenProxy::DW, ScreenCommand::NO_WAIT);
            widget.update();
            got << sent().section(QLatin1Char(' '), 0, 0);
        }
        watcher.removeWatcher(&widget);
        watcher.updateScreen();
        rx.takeAll();
        QCOMPARE(got, passes);
    }
};

QTEST_MAIN(ScreenTest)
#include "tst_screen.moc"
