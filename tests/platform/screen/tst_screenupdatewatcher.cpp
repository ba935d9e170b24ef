// The update watcher's queueing, merging and choice of pass, observed in the
// real screen-service's command log.

#include "platform/screen/qtcompat.h"
#include "support/sandbox.h"
#include "platform/screen/screenupdatewatcher.h"
#include "platform/sys/displayrotation.h"
#include "screentestsupport.h"

#include <QWidget>
#include <QtTest>

using namespace screentest;
using vexa::screen::ScreenCommand;
using vexa::screen::ScreenProxy;
using vexa::screen::ScreenUpdateWatcher;

namespace {

QRect regionOf(const QJsonObject& e)
{
    return QRect(e.value("left").toInt(), e.value("top").toInt(), e.value("width").toInt(),
                 e.value("height").toInt());
}

} // namespace

class ScreenUpdateWatcherTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void merging();
    void enqueueRules();
    void updateRequestChoosesPass();
    void removeWatcher();
    void dwBracket();
    void windowActivate();
    void invokedByName();

private:
    // The log entries after the first `seen`, processing events while
    // waiting until at least `count` more arrived (or a short time passed).
    QList<QJsonObject> newEntries(int count, int timeoutMs = 2000);
    // Lets the event loop run its posted events and zero timers.
    static void settle(int ms = 50);
    QWidget* shownWidget(const QRect& geometry);

    ScreenUpdateWatcher& w = vexa::screen::watcher();
    ServiceProcess* service = nullptr;
    int seen = 0;
    QList<QWidget*> widgets;
};

void ScreenUpdateWatcherTest::initTestCase()
{
    REQUIRE_SANDBOX();
    QCOMPARE(&w, &ScreenUpdateWatcher::instance());
    sys::DisplayRotation::setDegrees(0);
}

void ScreenUpdateWatcherTest::init()
{
    service = new ServiceProcess;
    QVERIFY(service->start());
    seen = 0;
}

void ScreenUpdateWatcherTest::cleanup()
{
    qDeleteAll(widgets);
    widgets.clear();
    w.updateScreen(); // empty what a failed test left queued
    delete service;
    service = nullptr;
}

void ScreenUpdateWatcherTest::settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (timer.elapsed() < ms);
}

QList<QJsonObject> ScreenUpdateWatcherTest::newEntries(int count, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QList<QJsonObject> all;
    for (;;) {
        QCoreApplication::processEvents();
        all = service->entries(0, 0);
        if (all.size() >= seen + count || timer.elapsed() > timeoutMs)
            break;
        QThread::msleep(5);
    }
    const QList<QJsonObject> fresh = all.mid(seen);
    seen = all.size();
    return fresh;
}

QWidget* ScreenUpdateWatcherTest::shownWidget(const QRect& geometry)
{
    auto* widget = new QWidget;
    widgets.append(widget);
    widget->setGeometry(geometry);
    widget->show();
    if (!QTest::qWaitForWindowExposed(widget))
        return nullptr;
    settle(); // let showing and activation pass before anything watches
    return widget;
}

void ScreenUpdateWatcherTest::merging()
{
    const QRect a(10, 10, 50, 20);
    const QRect b(100, 200, 30, 40);
    const auto both = ScreenCommand::SERVICE_WAIT | ScreenCommand::REPLY_WAIT;

    // Automatic: the largest waveform, the bounding rectangle, the largest wait.
    w.enqueue(nullptr, a, ScreenProxy::GU, ScreenCommand::SERVICE_WAIT);
    w.enqueue(nullptr, b, ScreenProxy::GC, both);
    QVERIFY(!w.isQueueEmpty());
    w.updateScreen();
    QVERIFY(w.isQueueEmpty());
    QList<QJsonObject> got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("type").toString(), QStringLiteral("UPDATE_REGION"));
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GC"));
    QCOMPARE(got[0].value("partial").toInt(), 1);
    QCOMPARE(got[0].value("wait").toInt(), 3);
    QCOMPARE(regionOf(got[0]), a.united(b));

    // A named pass sends its own waveform whatever was queued.
    w.enqueue(nullptr, a, ScreenProxy::GU, ScreenCommand::SERVICE_WAIT);
    w.enqueue(nullptr, b, ScreenProxy::GC, both);
    w.guUpdateScreen();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GU"));
    QCOMPARE(got[0].value("wait").toInt(), 3);
    QCOMPARE(regionOf(got[0]), a.united(b));

    w.enqueue(nullptr, a, ScreenProxy::DW, ScreenCommand::NO_WAIT);
    w.gcUpdateScreen();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GC"));
    QCOMPARE(got[0].value("wait").toInt(), 0);
    QCOMPARE(regionOf(got[0]), a);

    // DW ranks lowest.
    w.enqueue(nullptr, a, ScreenProxy::DW, ScreenCommand::NO_WAIT);
    w.enqueue(nullptr, b, ScreenProxy::GU, ScreenCommand::SERVICE_WAIT);
    w.enqueue(nullptr, a, ScreenProxy::DW, ScreenCommand::NO_WAIT);
    w.updateScreen();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GU"));
    QCOMPARE(got[0].value("wait").toInt(), 1);

    // Nothing queued, nothing sent.
    w.updateScreen();
    w.guUpdateScreen();
    w.gcUpdateScreen();
    QVERIFY(newEntries(1, 200).isEmpty());
}

void ScreenUpdateWatcherTest::enqueueRules()
{
    QWidget* widget = shownWidget(QRect(40, 50, 200, 100));
    QVERIFY(widget);
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));

    // Hidden widgets are not queued.
    QWidget hidden;
    hidden.setGeometry(0, 0, 50, 50);
    w.enqueue(&hidden, QRect(0, 0, 10, 10), ScreenProxy::GU);
    w.enqueue(&hidden);
    QVERIFY(w.isQueueEmpty());

    // An empty rectangle means the whole widget; default wait and waveform.
    w.enqueue(widget);
    w.updateScreen();
    QList<QJsonObject> got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(regionOf(got[0]), QRect(origin, widget->size()));
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GC"));
    QCOMPARE(got[0].value("wait").toInt(), 1);

    w.enqueue(widget, ScreenProxy::GU);
    w.updateScreen();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GU"));
    QCOMPARE(got[0].value("wait").toInt(), 1);
    QCOMPARE(regionOf(got[0]), QRect(origin, widget->size()));

    // A rectangle is in the widget's coordinates.
    w.enqueue(widget, QRect(10, 20, 30, 40), ScreenProxy::GU, ScreenCommand::NO_WAIT);
    w.updateScreen();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(regionOf(got[0]), QRect(origin + QPoint(10, 20), QSize(30, 40)));
    QCOMPARE(got[0].value("wait").toInt(), 0);

    // A rectangle without width keeps its corner and takes the widget's size.
    w.enqueue(widget, QRect(5, 5, 0, 10), ScreenProxy::GU);
    w.updateScreen();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(regionOf(got[0]).topLeft(), origin + QPoint(5, 5));
    QCOMPARE(regionOf(got[0]).size(), widget->size());

    // No widget: the screen.
    w.enqueue(nullptr, QRect(), ScreenProxy::GU);
    w.updateScreen();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(regionOf(got[0]), vexa::screen::desktopGeometry());
}

void ScreenUpdateWatcherTest::updateRequestChoosesPass()
{
    // Which pass an update request schedules shows in the waveform sent for
    // a queued DW item: updateScreen keeps DW, the others send GU or GC.
    const QRect small(0, 0, 8, 8);
    auto passes = [&](QWidget* widget, int n) {
        QStringList out;
        for (int i = 0; i < n; ++i) {
            w.enqueue(nullptr, small, ScreenProxy::DW, ScreenCommand::NO_WAIT);
            widget->update();
            const QList<QJsonObject> got = newEntries(1);
            out << (got.size() == 1 ? got[0].value("waveform").toString() : QStringLiteral("none"));
        }
        return out;
    };

    QWidget* two = shownWidget(QRect(0, 0, 100, 100));
    QVERIFY(two);
    w.addWatcher(two, 2);
    QCOMPARE(passes(two, 5), (QStringList{"GC", "GU", "GC", "GU", "GC"}));
    // Without an interval the filter is added again but the entry stays.
    w.addWatcher(two);
    QCOMPARE(passes(two, 2), (QStringList{"GU", "GC"}));
    w.removeWatcher(two);

    QWidget* one = shownWidget(QRect(0, 0, 100, 100));
    QVERIFY(one);
    w.addWatcher(one, 1);
    QCOMPARE(passes(one, 3), (QStringList{"GC", "GC", "GC"}));
    w.removeWatcher(one);

    QWidget* zero = shownWidget(QRect(0, 0, 100, 100));
    QVERIFY(zero);
    w.addWatcher(zero, 0);
    QCOMPARE(passes(zero, 3), (QStringList{"GU", "GU", "GU"}));
    w.removeWatcher(zero);

    QWidget* plain = shownWidget(QRect(0, 0, 100, 100));
    QVERIFY(plain);
    w.addWatcher(plain);
    QCOMPARE(passes(plain, 3), (QStringList{"DW", "DW", "DW"}));
    w.removeWatcher(plain);

    // Registering again starts the count afresh.
    QWidget* again = shownWidget(QRect(0, 0, 100, 100));
    QVERIFY(again);
    w.addWatcher(again, 3);
    QCOMPARE(passes(again, 2), (QStringList{"GC", "GU"}));
    w.addWatcher(again, 3);
    QCOMPARE(passes(again, 4), (QStringList{"GC", "GU", "GU", "GC"}));
    w.removeWatcher(again);

    w.addWatcher(nullptr, 2); // ignored
    w.removeWatcher(nullptr);
}

void ScreenUpdateWatcherTest::removeWatcher()
{
    QWidget* widget = shownWidget(QRect(0, 0, 100, 100));
    QVERIFY(widget);
    w.addWatcher(widget, 2);
    w.removeWatcher(widget);
    w.enqueue(nullptr, QRect(0, 0, 8, 8), ScreenProxy::DW, ScreenCommand::NO_WAIT);
    widget->update();
    QVERIFY(newEntries(1, 300).isEmpty());
    QVERIFY(!w.isQueueEmpty());
    w.updateScreen();
    QCOMPARE(newEntries(1).size(), 1);

    // A widget destroyed while registered takes its entry along.
    QWidget* shortLived = shownWidget(QRect(0, 0, 50, 50));
    QVERIFY(shortLived);
    w.addWatcher(shortLived, 2);
    widgets.removeOne(shortLived);
    delete shortLived;
    settle();
    QVERIFY(newEntries(1, 100).isEmpty());
}

void ScreenUpdateWatcherTest::dwBracket()
{
    QWidget* widget = shownWidget(QRect(20, 30, 100, 100));
    QVERIFY(widget);
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    w.addWatcher(widget, 2);

    // While active every update request takes the merging pass.
    w.dwEnqueueStart(widget, QRect(1, 2, 3, 4));
    widget->update();
    QList<QJsonObject> got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("DW"));
    QCOMPARE(got[0].value("wait").toInt(), 0);
    QCOMPARE(regionOf(got[0]), QRect(origin + QPoint(1, 2), QSize(3, 4)));

    w.enqueue(widget, QRect(0, 0, 10, 10), ScreenProxy::DW, ScreenCommand::NO_WAIT);
    widget->update();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("DW"));

    // After the end the widget's interval decides again.
    w.dwEnqueueEnd(widget, QRect(1, 2, 3, 4));
    widget->update();
    got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GC"));
    w.removeWatcher(widget);
}

void ScreenUpdateWatcherTest::windowActivate()
{
    QWidget* widget = shownWidget(QRect(60, 70, 120, 80));
    QVERIFY(widget);
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    w.addWatcher(widget);

    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(widget, &activate);
    QVERIFY(!w.isQueueEmpty());
    const QList<QJsonObject> got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GC"));
    QCOMPARE(got[0].value("wait").toInt(), 1);
    QCOMPARE(regionOf(got[0]), QRect(origin, widget->size()));
    QVERIFY(w.isQueueEmpty());

    // Events the watcher does not know pass untouched and queue nothing.
    QEvent other(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(widget, &other);
    QVERIFY(w.isQueueEmpty());
    w.removeWatcher(widget);
}

void ScreenUpdateWatcherTest::invokedByName()
{
    const QRect r(3, 4, 5, 6);
    QVERIFY(QMetaObject::invokeMethod(&w, "enqueue", Qt::DirectConnection, Q_ARG(QWidget*, nullptr),
                                      Q_ARG(QRect, r),
                                      Q_ARG(vexa::screen::ScreenProxy::Waveform, ScreenProxy::GU),
                                      Q_ARG(vexa::screen::ScreenCommand::WaitMode, ScreenCommand::NO_WAIT)));
    QVERIFY(!w.isQueueEmpty());
    QVERIFY(QMetaObject::invokeMethod(&w, "gcUpdateScreen", Qt::QueuedConnection));
    const QList<QJsonObject> got = newEntries(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].value("waveform").toString(), QStringLiteral("GC"));
    QCOMPARE(regionOf(got[0]), r);
}

QTEST_MAIN(ScreenUpdateWatcherTest)
#include "tst_screenupdatewatcher.moc"
