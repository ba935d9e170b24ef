// The update watcher's queueing, merging and choice of pass, as the screen
// service's port receives them.

#include "platform/screen/qtcompat.h"
#include "platform/screen/screenupdatewatcher.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"

#include <QWidget>
#include <QtTest>

using namespace support;
using vexa::screen::ScreenCommand;
using vexa::screen::ScreenProxy;

namespace {

const char* const WaveformNames[] = {"none", "DW", "2", "GU", "GC", "5"};

} // namespace

class ScreenUpdateWatcherTest : public QObject
{
    Q_OBJECT

    vexa::screen::ScreenUpdateWatcher& w = vexa::screen::watcher();
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
        QVERIFY(rx.bind());
        widget.setGeometry(40, 50, 200, 100);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QTRY_VERIFY(!vexa::screen::hasPendingEvents());
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
        QFETCH(QString, expected);
        const QRect a(10, 10, 50, 20);
        const QRect b(100, 200, 30, 40);
        w.enqueue(nullptr, a, ScreenProxy::DW, ScreenCommand::NO_WAIT);
        w.enqueue(nullptr, b, ScreenProxy::GC, ScreenCommand::SERVICE_WAIT);
        w.enqueue(nullptr, a, ScreenProxy::GU, ScreenCommand::NO_WAIT);
        QVERIFY(QMetaObject::invokeMethod(&w, pass.toLatin1().constData()));
        QVERIFY(w.isQueueEmpty());
        QRect region;
        QCOMPARE(sent(&region), expected);
        QCOMPARE(region, a.united(b));
        w.updateScreen(); // nothing queued, nothing sent
        QCOMPARE(sent(), QStringLiteral("none"));
    }

    void enqueueRules()
    {
        QWidget hidden;
        w.enqueue(&hidden);
        QVERIFY(w.isQueueEmpty());

        // Without a size: the widget's, or the screen's without a widget.
        QRect region;
        w.enqueue(&widget, QRect(5, 5, 0, 10), ScreenProxy::GU);
        w.updateScreen();
        QCOMPARE(sent(&region), QStringLiteral("GU 1"));
        QCOMPARE(region, QRect(widget.mapToGlobal(QPoint(5, 5)), widget.size()));
        w.enqueue(nullptr, QRect(), ScreenProxy::GU);
        w.updateScreen();
        QCOMPARE(sent(&region), QStringLiteral("GU 1"));
        QCOMPARE(region, vexa::screen::desktopGeometry());
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
            w.addWatcher(&widget, interval);
        if (bracketed > 0)
            w.dwEnqueueStart(&widget, QRect(1, 2, 3, 4));
        QStringList got;
        for (int i = 0; i < passes.size(); ++i) {
            if (bracketed > 0 && i == bracketed)
                w.dwEnqueueEnd(&widget, QRect(1, 2, 3, 4));
            w.enqueue(nullptr, QRect(0, 0, 8, 8), ScreenProxy::DW, ScreenCommand::NO_WAIT);
            widget.update();
            got << sent().section(QLatin1Char(' '), 0, 0);
        }
        w.removeWatcher(&widget);
        w.updateScreen();
        rx.takeAll();
        QCOMPARE(got, passes);
    }

    void activationRefreshesTheWidget()
    {
        w.addWatcher(&widget);
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&widget, &activate);
        QRect region;
        QCOMPARE(sent(&region), QStringLiteral("GC 1"));
        QCOMPARE(region, QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size()));
        w.removeWatcher(&widget);
    }
};

QTEST_MAIN(ScreenUpdateWatcherTest)
#include "tst_screenupdatewatcher.moc"
