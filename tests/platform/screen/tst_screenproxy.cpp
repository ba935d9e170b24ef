// The screen client's datagrams, byte for byte, as a bare socket and as the
// real screen-service receive them.

#include "platform/screen/qtcompat.h"
#include "support/sandbox.h"
#include "platform/screen/screenproxy.h"
#include "platform/sys/displayrotation.h"
#include "screentestsupport.h"

#include <QJsonArray>
#include <QSet>
#include <QWidget>
#include <QtTest>

#include <functional>

using namespace screentest;
using vexa::screen::ScreenCommand;
using vexa::screen::ScreenProxy;

namespace {

// Runs a piece of code when its posted event is delivered, i.e. inside
// whatever event loop drains the queue.
class PostedCall : public QObject
{
public:
    std::function<void()> call;
    bool repost = false;

    void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        if (call)
            call();
        if (repost)
            post();
        return true;
    }
};

// Every field outside `changed` (byte offsets of 32-bit fields) is as before.
bool onlyChanged(const QByteArray& before, const QByteArray& after, const QSet<int>& changed)
{
    if (before.size() != kCommandSize || after.size() != kCommandSize)
        return false;
    for (int offset = 0; offset < kCommandSize; offset += 4) {
        if (!changed.contains(offset) && field(before, offset) != field(after, offset)) {
            qWarning("field at offset %d changed from %d to %d", offset, field(before, offset),
                     field(after, offset));
            return false;
        }
    }
    return true;
}

QSet<int> pointFields(int count)
{
    QSet<int> s;
    for (int i = 0; i < count * 2; ++i)
        s.insert(O_POINTS + 4 * i);
    return s;
}

} // namespace

class ScreenProxyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void firstCommandOnZeroedRecord();
    void recordLayout();
    void leftoversBetweenCommands();
    void defaultWaveform();
    void flushSuppressesRegionUpdates();
    void flushIsBounded();
    void gcInterval();
    void drawLines();
    void rotation();
    void replyWait();
    void deliveredAfterServiceWasAway();
    void againstScreenService();

private:
    ScreenProxy& proxy = ScreenProxy::instance();
};

void ScreenProxyTest::initTestCase()
{
    REQUIRE_SANDBOX();
    QVERIFY(!vexa::screen::desktopGeometry().isEmpty());
}

void ScreenProxyTest::init()
{
    sys::DisplayRotation::setDegrees(0);
    proxy.setDefaultWaveform(ScreenProxy::GC);
    proxy.setGCInterval(1);
    proxy.resetGUCount();
}

void ScreenProxyTest::firstCommandOnZeroedRecord()
{
    // Must stay the first command of the process: the record starts zeroed.
    RawReceiver rx;
    QVERIFY(rx.bind());
    proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);
    const QByteArray d = rx.next();
    QCOMPARE(d.size(), kCommandSize);
    QCOMPARE(field(d, O_TYPE), 2);
    QCOMPARE(field(d, O_WAVEFORM), 3);
    QCOMPARE(field(d, O_PARTIAL), 0);
    QCOMPARE(field(d, O_WAIT), 0);
    QVERIFY(onlyChanged(QByteArray(kCommandSize, '\0'), d, {O_TYPE, O_WAVEFORM}));
}

void ScreenProxyTest::recordLayout()
{
    RawReceiver rx;
    QVERIFY(rx.bind());

    proxy.updateWidgetRegion(nullptr, QRect(10, 20, 30, 40), ScreenProxy::GU, false,
                             ScreenCommand::SERVICE_WAIT);
    QByteArray d = rx.next();
    QCOMPARE(d.size(), kCommandSize);
    QCOMPARE(field(d, O_TYPE), 3);
    QCOMPARE(field(d, O_WAVEFORM), 3);
    QCOMPARE(field(d, O_PARTIAL), 1);
    QCOMPARE(field(d, O_TOP), 20); // top before left
    QCOMPARE(field(d, O_LEFT), 10);
    QCOMPARE(field(d, O_WIDTH), 30);
    QCOMPARE(field(d, O_HEIGHT), 40);
    QCOMPARE(field(d, O_WAIT), 1);

    proxy.updateWidgetRegion(nullptr, QRect(10, 20, 30, 40), ScreenProxy::GC, true,
                             ScreenCommand::NO_WAIT);
    d = rx.next();
    QCOMPARE(field(d, O_WAVEFORM), 4);
    QCOMPARE(field(d, O_PARTIAL), 0);
    QCOMPARE(field(d, O_WAIT), 0);

    // A widget's region is where it sits on the screen, clipped to it.
    QWidget w;
    w.setGeometry(40, 50, 200, 100);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    rx.takeAll(50);
    proxy.updateWidget(&w, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
    d = rx.next();
    const QPoint origin = w.mapToGlobal(QPoint(0, 0));
    QCOMPARE(field(d, O_LEFT), origin.x());
    QCOMPARE(field(d, O_TOP), origin.y());
    QCOMPARE(field(d, O_WIDTH), 200);
    QCOMPARE(field(d, O_HEIGHT), 100);

    // A rectangle wins over the widget; one hanging off the screen is clipped.
    const QRect screen = vexa::screen::desktopGeometry();
    const QRect off(screen.right() - 9, -5, 30, 20);
    proxy.updateWidgetRegion(&w, off, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
    d = rx.next();
    QCOMPARE(field(d, O_LEFT), screen.right() - 9);
    QCOMPARE(field(d, O_TOP), 0);
    QCOMPARE(field(d, O_WIDTH), 10);
    QCOMPARE(field(d, O_HEIGHT), 15);
    QCOMPARE(proxy.screenRegion(&w, &off), QRect(screen.right() - 9, 0, 10, 15));
}

void ScreenProxyTest::leftoversBetweenCommands()
{
    RawReceiver rx;
    QVERIFY(rx.bind());

    proxy.updateWidgetRegion(nullptr, QRect(1, 2, 3, 4), ScreenProxy::GU, false,
                             ScreenCommand::SERVICE_WAIT);
    const QByteArray region = rx.next();

    const QPoint pts[3] = {{5, 6}, {7, 8}, {9, 10}};
    proxy.drawLines(pts, 3, 0x80, 2);
    const QByteArray lines = rx.next();
    QVERIFY(onlyChanged(region, lines,
                        pointFields(3) + QSet<int>{O_TYPE, O_POINT_COUNT, O_COLOR, O_SIZE, O_WAIT}));
    QCOMPARE(field(lines, O_WAVEFORM), 3); // the region command's, untouched
    QCOMPARE(field(lines, O_TOP), 2);

    proxy.updateScreen(ScreenProxy::GC, ScreenCommand::NO_WAIT);
    const QByteArray screen = rx.next();
    QVERIFY(onlyChanged(lines, screen, {O_TYPE, O_WAVEFORM, O_PARTIAL, O_WAIT}));
    QCOMPARE(field(screen, O_POINT_COUNT), 3);
    QCOMPARE(field(screen, O_COLOR), 0x80);

    proxy.drawLine(100, 200, 300, 400, 255, 3);
    const QByteArray line = rx.next();
    QVERIFY(onlyChanged(screen, line, pointFields(2) + QSet<int>{O_TYPE, O_COLOR, O_SIZE, O_WAIT}));
    QCOMPARE(pointAt(line, 2), QPoint(9, 10)); // third point of drawLines stays
    QCOMPARE(field(line, O_POINT_COUNT), 3);   // not DRAW_LINE's field

    const QRect syncRect(50, 60, 70, 80);
    proxy.sync(nullptr, &syncRect);
    const QByteArray sync = rx.next();
    QVERIFY(onlyChanged(line, sync, {O_TYPE, O_TOP, O_LEFT, O_WIDTH, O_HEIGHT, O_WAIT}));
    QCOMPARE(field(sync, O_TYPE), 1);
    QCOMPARE(field(sync, O_TOP), 60);
    QCOMPARE(field(sync, O_LEFT), 50);
    QCOMPARE(field(sync, O_WAIT), 1);
    QCOMPARE(field(sync, O_WAVEFORM), 4); // from updateScreen

    proxy.ensureUpdateFinished();
    const QByteArray finished = rx.next();
    QVERIFY(onlyChanged(sync, finished, {O_TYPE, O_WAIT}));
    QCOMPARE(field(finished, O_TYPE), 0);
    QCOMPARE(field(finished, O_WAIT), 1);

    proxy.fillScreen(200);
    const QByteArray fill = rx.next();
    QVERIFY(onlyChanged(finished, fill, {O_TYPE, O_WAVEFORM, O_PARTIAL, O_COLOR, O_WAIT}));
    QCOMPARE(field(fill, O_TYPE), 6);
    QCOMPARE(field(fill, O_WAVEFORM), 4);
    QCOMPARE(field(fill, O_PARTIAL), 0);
    QCOMPARE(field(fill, O_COLOR), 200);
    QCOMPARE(field(fill, O_WAIT), 1);

    // Another proxy shares the record and the socket.
    ScreenProxy other;
    other.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);
    const QByteArray fromOther = rx.next();
    QVERIFY(onlyChanged(fill, fromOther, {O_TYPE, O_WAVEFORM, O_WAIT}));
    QCOMPARE(field(fromOther, O_TYPE), 2);
    QVERIFY(rx.takeAll(50).isEmpty());
}

void ScreenProxyTest::defaultWaveform()
{
    RawReceiver rx;
    QVERIFY(rx.bind());
    const QRect r(0, 0, 10, 10);

    proxy.setDefaultWaveform(ScreenProxy::NO_WAVEFORM);
    QCOMPARE(proxy.defaultWaveform(), ScreenProxy::GC);
    proxy.updateWidgetRegion(nullptr, r, ScreenProxy::NO_WAVEFORM, false, ScreenCommand::NO_WAIT);
    QCOMPARE(field(rx.next(), O_WAVEFORM), 4);
    proxy.updateScreen(ScreenProxy::NO_WAVEFORM, ScreenCommand::NO_WAIT);
    QCOMPARE(field(rx.next(), O_WAVEFORM), 4);

    proxy.setDefaultWaveform(ScreenProxy::GU);
    proxy.updateWidget(nullptr, ScreenProxy::NO_WAVEFORM, false, ScreenCommand::NO_WAIT);
    QCOMPARE(field(rx.next(), O_WAVEFORM), 3);
    proxy.updateScreen(ScreenProxy::NO_WAVEFORM, ScreenCommand::NO_WAIT);
    QCOMPARE(field(rx.next(), O_WAVEFORM), 3);
    // An explicit waveform is sent as given, including ones without a name.
    proxy.updateScreen(ScreenProxy::Waveform(5), ScreenCommand::NO_WAIT);
    QCOMPARE(field(rx.next(), O_WAVEFORM), 5);

    proxy.setWaveformPolicy(ScreenProxy::WaveformPolicy(7));
    QCOMPARE(int(proxy.waveformPolicy()), 7);
    proxy.setWaveformPolicy(ScreenProxy::DEFAULT_POLICY);
}

void ScreenProxyTest::flushSuppressesRegionUpdates()
{
    QWidget w;
    w.setGeometry(40, 50, 200, 100);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();

    RawReceiver rx;
    QVERIFY(rx.bind());

    bool enabledInside = true;
    PostedCall during;
    during.call = [&] {
        enabledInside = proxy.isEnabled();
        proxy.updateWidget(&w, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
        proxy.updateWidgetRegion(&w, QRect(0, 0, 5, 5), ScreenProxy::GC, true, ScreenCommand::NO_WAIT);
        proxy.updateWidgetWithGCInterval(&w, nullptr, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
        proxy.updateWidget(&w, ScreenProxy::NO_WAVEFORM, false, ScreenCommand::NO_WAIT);
        proxy.updateWidget(&w, ScreenProxy::DW, false, ScreenCommand::NO_WAIT);
        proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);
        // A flush from inside the flush leaves the outer one suppressing.
        proxy.flush(10);
        proxy.updateWidget(&w, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
    };
    during.post();
    proxy.flush(&w, ScreenProxy::GU, true, ScreenCommand::SERVICE_WAIT);

    QVERIFY(!enabledInside);
    QVERIFY(proxy.isEnabled());
    const QList<QByteArray> got = rx.takeAll();
    QCOMPARE(got.size(), 3);
    QCOMPARE(field(got[0], O_TYPE), 3);
    QCOMPARE(field(got[0], O_WAVEFORM), 1);
    QCOMPARE(field(got[1], O_TYPE), 2); // updateScreen is never held back
    QCOMPARE(field(got[1], O_WAVEFORM), 3);
    const QByteArray& last = got[2];
    QCOMPARE(field(last, O_TYPE), 3);
    QCOMPARE(field(last, O_WAVEFORM), 3);
    QCOMPARE(field(last, O_PARTIAL), 0);
    QCOMPARE(field(last, O_WAIT), 1);
    const QPoint origin = w.mapToGlobal(QPoint(0, 0));
    QCOMPARE(QRect(field(last, O_LEFT), field(last, O_TOP), field(last, O_WIDTH), field(last, O_HEIGHT)),
             QRect(origin, w.size()));

    // Enabled again afterwards.
    proxy.updateWidget(&w, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
    QCOMPARE(field(rx.next(), O_WAVEFORM), 3);

    // Without a widget the flush covers the whole screen.
    proxy.flush(nullptr, ScreenProxy::GC, true, ScreenCommand::NO_WAIT);
    const QByteArray whole = rx.next();
    const QRect screen = vexa::screen::desktopGeometry();
    QCOMPARE(field(whole, O_WIDTH), screen.width());
    QCOMPARE(field(whole, O_HEIGHT), screen.height());
}

void ScreenProxyTest::flushIsBounded()
{
    // An event source that never runs dry: the drain stops at its limit.
    int runs = 0;
    auto* endless = new PostedCall;
    endless->repost = true;
    endless->call = [&] { ++runs; };
    endless->post();
    QElapsedTimer timer;
    timer.start();
    proxy.flush(300);
    const qint64 elapsed = timer.elapsed();
    delete endless; // takes its pending event with it
    QVERIFY2(elapsed >= 300 && elapsed < 2000, qPrintable(QString::number(elapsed)));
    QVERIFY(runs > 1);
    QVERIFY(proxy.isEnabled());

    // An empty queue ends the drain at once.
    QCoreApplication::processEvents();
    timer.restart();
    proxy.flush(5000);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void ScreenProxyTest::gcInterval()
{
    RawReceiver rx;
    QVERIFY(rx.bind());
    const QRect r(0, 0, 20, 20);
    auto send = [&](ScreenProxy::Waveform w) {
        proxy.updateWidgetWithGCInterval(nullptr, &r, w, false, ScreenCommand::NO_WAIT);
        return field(rx.next(), O_WAVEFORM);
    };
    auto sequence = [&](ScreenProxy::Waveform w, int n) {
        QList<int> out;
        for (int i = 0; i < n; ++i)
            out << send(w);
        return out;
    };

    proxy.setGCInterval(3);
    proxy.resetGUCount();
    QCOMPARE(sequence(ScreenProxy::GU, 6), (QList<int>{3, 3, 4, 3, 3, 4}));
    QCOMPARE(proxy.guCount(), 0);

    proxy.setGCInterval(0);
    QCOMPARE(sequence(ScreenProxy::GU, 5), (QList<int>{3, 3, 3, 3, 3}));
    QCOMPARE(proxy.guCount(), 5);

    // A GC asked for restarts the count; the unnamed 5 counts like GU.
    proxy.setGCInterval(3);
    proxy.resetGUCount();
    QCOMPARE(send(ScreenProxy::GU), 3);
    QCOMPARE(send(ScreenProxy::GC), 4);
    QCOMPARE(send(ScreenProxy::GU), 3);
    QCOMPARE(send(ScreenProxy::Waveform(5)), 5);
    QCOMPARE(send(ScreenProxy::GU), 4);
    QCOMPARE(send(ScreenProxy::DW), 1); // neither counted nor promoted
    QCOMPARE(proxy.guCount(), 0);

    // increaseGUCount brings the next GC forward; the default waveform counts.
    proxy.increaseGUCount();
    proxy.increaseGUCount();
    QCOMPARE(send(ScreenProxy::GU), 4);
    proxy.setDefaultWaveform(ScreenProxy::GU);
    proxy.setGCInterval(2);
    QCOMPARE(send(ScreenProxy::NO_WAVEFORM), 3);
    QCOMPARE(send(ScreenProxy::NO_WAVEFORM), 4);

    // No rectangle: the whole screen.
    proxy.updateWidgetWithGCInterval(nullptr, nullptr, ScreenProxy::GU, true, ScreenCommand::NO_WAIT);
    const QByteArray whole = rx.next();
    const QRect screen = vexa::screen::desktopGeometry();
    QCOMPARE(field(whole, O_WIDTH), screen.width());
    QCOMPARE(field(whole, O_HEIGHT), screen.height());
    QCOMPARE(field(whole, O_PARTIAL), 0);
}

void ScreenProxyTest::drawLines()
{
    RawReceiver rx;
    QVERIFY(rx.bind());
    QPoint pts[16];
    for (int i = 0; i < 16; ++i)
        pts[i] = QPoint(i * 10, i * 20 + 1);

    proxy.drawLines(pts, 16, 0, 1);
    proxy.drawLines(pts, -1, 0, 1);
    proxy.drawLines(nullptr, 3, 0, 1);
    QVERIFY(rx.takeAll(200).isEmpty());

    proxy.drawLines(pts, 15, 0x40, 2);
    const QByteArray d = rx.next();
    QCOMPARE(field(d, O_TYPE), 5);
    QCOMPARE(field(d, O_POINT_COUNT), 15);
    for (int i = 0; i < 15; ++i)
        QCOMPARE(pointAt(d, i), pts[i]);
    QCOMPARE(field(d, O_COLOR), 0x40);
    QCOMPARE(field(d, O_SIZE), 2);
    QCOMPARE(field(d, O_WAIT), 0);

    proxy.drawLine(1, 2, 3, 4, 255, 5);
    const QByteArray line = rx.next();
    QCOMPARE(field(line, O_TYPE), 4);
    QCOMPARE(pointAt(line, 0), QPoint(1, 2));
    QCOMPARE(pointAt(line, 1), QPoint(3, 4));
    QCOMPARE(field(line, O_COLOR), 255); // a grey level, not a signed byte
    QCOMPARE(field(line, O_SIZE), 5);
    QCOMPARE(field(line, O_WAIT), 0);
}

void ScreenProxyTest::rotation()
{
    // The device's own example: a 600 x 800 logical screen.
    const QRect device(0, 0, 600, 800);
    const QRect logical(0, 0, 100, 50);
    QCOMPARE(ScreenProxy::mapToPanel(logical, device, 0), logical);
    QCOMPARE(ScreenProxy::mapToPanel(logical, device, 90), QRect(0, 500, 50, 100));
    QCOMPARE(ScreenProxy::mapToPanel(logical, device, 180), QRect(500, 750, 100, 50));
    QCOMPARE(ScreenProxy::mapToPanel(logical, device, 270), QRect(750, 0, 50, 100));
    // Clipped to the panel, whose sides swap at a quarter turn.
    QCOMPARE(ScreenProxy::mapToPanel(QRect(-10, -10, 50, 50), device, 0), QRect(0, 0, 40, 40));
    QCOMPARE(ScreenProxy::mapToPanel(QRect(550, 0, 100, 10), device, 90), QRect(0, 0, 10, 50));
    QCOMPARE(ScreenProxy::mapToPanel(device, device, 90), QRect(0, 0, 800, 600));
    QCOMPARE(ScreenProxy::mapToPanel(QRect(0, 700, 10, 10), device, 270), QRect(90, 0, 10, 10));

    // End to end on the running screen, the rotation set as the system
    // manager client sets it.
    RawReceiver rx;
    QVERIFY(rx.bind());
    const QRect screen = vexa::screen::desktopGeometry();
    const int W = screen.width();
    const int H = screen.height();
    auto sent = [&](int degrees, const QRect* rect) {
        sys::DisplayRotation::setDegrees(degrees);
        if (rect)
            proxy.updateWidgetRegion(nullptr, *rect, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
        else
            proxy.updateWidget(nullptr, ScreenProxy::GU, false, ScreenCommand::NO_WAIT);
        const QByteArray d = rx.next();
        return QRect(field(d, O_LEFT), field(d, O_TOP), field(d, O_WIDTH), field(d, O_HEIGHT));
    };
    QCOMPARE(sent(0, &logical), logical);
    QCOMPARE(sent(90, &logical), QRect(0, W - 100, 50, 100));
    QCOMPARE(sent(180, &logical), QRect(W - 100, H - 50, 100, 50));
    QCOMPARE(sent(270, &logical), QRect(H - 50, 0, 50, 100));
    QCOMPARE(sent(90, nullptr), QRect(0, 0, H, W));
    QCOMPARE(sent(270, nullptr), QRect(0, 0, H, W));
    QCOMPARE(sent(180, nullptr), QRect(0, 0, W, H));

    // The rotation as the device's start scripts give it.
    QCOMPARE(sys::DisplayRotation::parse("Transformed:Rot90:VexaScreen:/dev/mem"), 90);
    QCOMPARE(sys::DisplayRotation::parse("Transformed:Rot270:VexaScreen:/dev/mem"), 270);
    QCOMPARE(sys::DisplayRotation::parse("Transformed:Rot180"), 180);
    QCOMPARE(sys::DisplayRotation::parse("Transformed:Rot0:VexaScreen"), 0);
    QCOMPARE(sys::DisplayRotation::parse("LinuxFb:/dev/fb0"), 0);
    QCOMPARE(sys::DisplayRotation::parse("Transformed:Rot45:VexaScreen"), 0);
    QCOMPARE(sys::DisplayRotation::parse("Rot90"), 0);
    QCOMPARE(sys::DisplayRotation::parse(""), 0);
    QCOMPARE(sys::DisplayRotation::parse(nullptr), 0);
    sys::DisplayRotation::setDegrees(45);
    QCOMPARE(sys::DisplayRotation::degrees(), 0);
    sys::DisplayRotation::setDegrees(270);
    QCOMPARE(sys::DisplayRotation::degrees(), 270);
}

void ScreenProxyTest::replyWait()
{
    const auto both = ScreenCommand::SERVICE_WAIT | ScreenCommand::REPLY_WAIT;
    QElapsedTimer timer;

    // A service that answers ends the wait at once.
    {
        ServiceProcess service;
        QVERIFY(service.start());
        timer.start();
        proxy.updateScreen(ScreenProxy::GC, both);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        timer.restart();
        proxy.flush(nullptr, ScreenProxy::GC, true, both);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        const QList<QJsonObject> log = service.entries(2);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].value("type").toString(), QStringLiteral("UPDATE_SCREEN"));
        QCOMPARE(log[0].value("wait").toInt(), 3);
        QCOMPARE(log[1].value("type").toString(), QStringLiteral("UPDATE_REGION"));
        QCOMPARE(log[1].value("wait").toInt(), 3);
    }

    // Someone receives but never answers: the wait ends after 3000 ms.
    {
        RawReceiver rx;
        QVERIFY(rx.bind());
        timer.start();
        proxy.updateWidgetRegion(nullptr, QRect(0, 0, 10, 10), ScreenProxy::GU, false, both);
        const qint64 elapsed = timer.elapsed();
        QVERIFY2(elapsed >= 2900 && elapsed < 6000, qPrintable(QString::number(elapsed)));
        const QByteArray request = rx.next();
        QCOMPARE(field(request, O_WAIT), 3);

        // Its answer comes too late; it must neither end the next wait early
        // nor end up in the record.
        rx.answer(QByteArray(kCommandSize, '\x7f'));
        QThread::msleep(50);
        timer.start();
        proxy.updateScreen(ScreenProxy::GC, both);
        const qint64 again = timer.elapsed();
        QVERIFY2(again >= 2900 && again < 6000, qPrintable(QString::number(again)));
        QVERIFY(onlyChanged(request, rx.next(), {O_TYPE, O_WAVEFORM, O_PARTIAL}));
    }

    // Nobody listens at all (the host reports the port unreachable): the
    // wait still lasts its full time rather than ending on the error.
    timer.start();
    proxy.updateScreen(ScreenProxy::GU, both);
    qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= 2900 && elapsed < 6000, qPrintable(QString::number(elapsed)));

    // Only bit 2 waits.
    timer.start();
    proxy.updateScreen(ScreenProxy::GU, ScreenCommand::SERVICE_WAIT);
    proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);
    elapsed = timer.elapsed();
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
}

void ScreenProxyTest::deliveredAfterServiceWasAway()
{
    // With nobody listening the host answers "port unreachable"; that must
    // not cost the first command once the service is back.
    proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);
    QThread::msleep(50);

    RawReceiver rx;
    QVERIFY(rx.bind());
    proxy.updateScreen(ScreenProxy::GC, ScreenCommand::NO_WAIT);
    const QByteArray d = rx.next();
    QCOMPARE(d.size(), kCommandSize);
    QCOMPARE(field(d, O_WAVEFORM), 4);
}

void ScreenProxyTest::againstScreenService()
{
    ServiceProcess service;
    QVERIFY(service.start());

    QWidget w;
    w.setGeometry(30, 40, 120, 60);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint origin = w.mapToGlobal(QPoint(0, 0));

    proxy.ensureUpdateFinished();
    const QRect syncRect(5, 6, 7, 8);
    proxy.sync(nullptr, &syncRect);
    proxy.updateScreen(ScreenProxy::GU, ScreenCommand::NO_WAIT);
    proxy.updateWidget(&w, ScreenProxy::DW, false, ScreenCommand::SERVICE_WAIT);
    proxy.drawLine(1, 2, 3, 4, 0, 1);
    const QPoint pts[3] = {{10, 11}, {12, 13}, {14, 15}};
    proxy.drawLines(pts, 3, 17, 2);
    proxy.fillScreen(255);

    const QList<QJsonObject> log = service.entries(7);
    QCOMPARE(log.size(), 7);
    for (int i = 0; i < log.size(); ++i) {
        QCOMPARE(log[i].value("seq").toInt(), i + 1);
        QCOMPARE(log[i].value("type_code").toInt(), QList<int>({0, 1, 2, 3, 4, 5, 6})[i]);
        QVERIFY(!log[i].contains("error"));
    }
    QCOMPARE(log[0].value("type").toString(), QStringLiteral("WAIT_FOR_FINISHED"));
    QCOMPARE(log[0].value("wait").toInt(), 1);

    QCOMPARE(log[1].value("type").toString(), QStringLiteral("SYNC"));
    QCOMPARE(log[1].value("top").toInt(), 6);
    QCOMPARE(log[1].value("left").toInt(), 5);
    QCOMPARE(log[1].value("width").toInt(), 7);
    QCOMPARE(log[1].value("height").toInt(), 8);
    QVERIFY(!log[1].contains("waveform")); // not SYNC's field

    QCOMPARE(log[2].value("type").toString(), QStringLiteral("UPDATE_SCREEN"));
    QCOMPARE(log[2].value("waveform").toString(), QStringLiteral("GU"));
    QCOMPARE(log[2].value("partial").toInt(), 0);
    QVERIFY(!log[2].contains("top"));

    QCOMPARE(log[3].value("type").toString(), QStringLiteral("UPDATE_REGION"));
    QCOMPARE(log[3].value("waveform").toString(), QStringLiteral("DW"));
    QCOMPARE(log[3].value("partial").toInt(), 1);
    QCOMPARE(log[3].value("left").toInt(), origin.x());
    QCOMPARE(log[3].value("top").toInt(), origin.y());
    QCOMPARE(log[3].value("width").toInt(), 120);
    QCOMPARE(log[3].value("height").toInt(), 60);

    QCOMPARE(log[4].value("type").toString(), QStringLiteral("DRAW_LINE"));
    QCOMPARE(log[4].value("points").toArray(), (QJsonArray{QJsonArray{1, 2}, QJsonArray{3, 4}}));
    QCOMPARE(log[4].value("color").toInt(), 0);
    QCOMPARE(log[4].value("size").toInt(), 1);
    QCOMPARE(log[4].value("wait").toInt(), 0);

    QCOMPARE(log[5].value("type").toString(), QStringLiteral("DRAW_LINES"));
    QCOMPARE(log[5].value("point_count").toInt(), 3);
    QCOMPARE(log[5].value("points").toArray(),
             (QJsonArray{QJsonArray{10, 11}, QJsonArray{12, 13}, QJsonArray{14, 15}}));
    QCOMPARE(log[5].value("color").toInt(), 17);

    QCOMPARE(log[6].value("type").toString(), QStringLiteral("FILL_SCREEN"));
    QCOMPARE(log[6].value("waveform").toString(), QStringLiteral("GC"));
    QCOMPARE(log[6].value("color").toInt(), 255);
    QCOMPARE(log[6].value("wait").toInt(), 1);
}

QTEST_MAIN(ScreenProxyTest)
#include "tst_screenproxy.moc"
