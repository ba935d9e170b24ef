// The screen client's datagrams as the screen service's port receives them.

#include "platform/screen/qtcompat.h"
#include "platform/screen/screenproxy.h"
#include "platform/sys/displayrotation.h"
#include "support/processes.h"
#include "support/rotationcases.h"
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

// Runs call when its posted event is delivered, inside whatever loop drains
// the queue; with repost the queue never runs dry.
struct PostedCall : QObject
{
    std::function<void()> call;
    bool repost = false;
    void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
    bool event(QEvent*) override
    {
        call();
        if (repost)
            post();
        return true;
    }
};

const auto BothWaits = ScreenCommand::SERVICE_WAIT | ScreenCommand::REPLY_WAIT;

} // namespace

class ScreenProxyTest : public QObject
{
    Q_OBJECT

    ScreenProxy& proxy = ScreenProxy::instance();
    ScreenListener rx;

private Q_SLOTS:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        // Set for this test by its CMake entry.
        QCOMPARE(sys::DisplayRotation::degrees(), 270);
        sys::DisplayRotation::setDegrees(0);
        QVERIFY(rx.bind());
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
        QWidget w;
        w.setGeometry(40, 50, 200, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        rx.takeAll();
        PostedCall during;
        during.call = [&] {
            proxy.updateWidget(&w, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
            proxy.updateWidgetWithGCInterval(&w, nullptr, ScreenProxy::GC, false, ScreenCommand::NO_WAIT);
            proxy.updateWidget(&w, ScreenProxy::DW, false, ScreenCommand::NO_WAIT); // sent
            proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);           // sent
            proxy.flush(10); // an inner flush leaves the outer one suppressing
            proxy.updateWidget(&w, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
        };
        during.post();
        proxy.flush(&w, ScreenProxy::GU, true, ScreenCommand::SERVICE_WAIT);
        QVERIFY(proxy.isEnabled());
        const QList<QByteArray> got = rx.takeAll();
        QCOMPARE(got.size(), 3);
        QCOMPARE(field(got[0], wire::Waveform), int(ScreenProxy::DW));
        QCOMPARE(field(got[1], wire::Type), int(wire::UpdateScreen));
        QCOMPARE(regionOf(got[2]), QRect(w.mapToGlobal(QPoint(0, 0)), w.size()));
        QCOMPARE(field(got[2], wire::Partial), 0);

        // An event source that never runs dry: the drain stops at its bound.
        PostedCall endless;
        int runs = 0;
        endless.call = [&] { ++runs; };
        endless.repost = true;
        endless.post();
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
        QFETCH(QList<int>, sent);
        proxy.setGCInterval(interval);
        proxy.resetGUCount();
        const QRect r(0, 0, 20, 20);
        QList<int> got;
        for (int w : asked) {
            proxy.updateWidgetWithGCInterval(nullptr, &r, ScreenProxy::Waveform(w), false,
                                             ScreenCommand::NO_WAIT);
            got << field(rx.next(), wire::Waveform);
        }
        QCOMPARE(got, sent);
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

    void rotation_data() { addRotationRows(); }

    void rotation()
    {
        QFETCH(int, degrees);
        QFETCH(QSize, screen);
        QFETCH(QRect, logical);
        QFETCH(QRect, panel);
        QCOMPARE(ScreenProxy::toPanel(logical, screen, degrees), panel);
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
        {
            ScreenService service;
            QVERIFY(service.start());
            QElapsedTimer clock;
            clock.start();
            proxy.updateScreen(ScreenProxy::GC, BothWaits);
            proxy.flush(nullptr, ScreenProxy::GC, true, BothWaits);
            QVERIFY(clock.elapsed() < ScreenProxy::ReplyTimeoutMs);
            QTRY_COMPARE(readJsonLines(service.logPath()).size(), 2);
            QCOMPARE(readJsonLines(service.logPath())[1].value("wait").toInt(), 3);
        }

        // Someone receives and never answers: the wait ends after its bound.
        QVERIFY(rx.bind());
        QElapsedTimer clock;
        clock.start();
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
};

QTEST_MAIN(ScreenProxyTest)
#include "tst_screenproxy.moc"
