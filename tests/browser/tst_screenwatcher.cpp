#include "browser/menu.h"
#include "support/sandbox.h"
#include "browser/screen_watcher.h"
#include "platform/screen/qtcompat.h"
#include "platform/screen/screenproxy.h"
#include "platform/sys/displayrotation.h"
#include "screencapture.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QWidget>
#include <QtTest>

using vexa::screen::ScreenCommand;
using vexa::screen::ScreenProxy;

class TestScreenWatcher : public QObject
{
    Q_OBJECT

private:
    ScreenCapture capture;
    QWidget* window = nullptr;

    // One tick of the watcher's own timer, delivered now.
    void tick()
    {
        QTimerEvent event(screenWatcher.timerId);
        QCoreApplication::sendEvent(&screenWatcher, &event);
    }

    // Let Qt paint and drain its queue, leaving the watcher's flag set.
    void paintAndSettle()
    {
        window->update();
        QTRY_VERIFY(screenWatcher.updatePending);
        QTRY_VERIFY(!vexa::screen::hasPendingEvents());
    }

    static QList<QPoint> points(const ScreenCommand& c)
    {
        QList<QPoint> list;
        for (int i = 0; i < c.pointCount; ++i)
            list << QPoint(c.points[i].x, c.points[i].y);
        return list;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(capture.bind());
        // A long interval: the tests deliver the ticks themselves.
        screenWatcher.start(3600 * 1000);
        QVERIFY(screenWatcher.timerId != 0);
        window = new QWidget;
        window->resize(200, 100);
        screenWatcher.watch(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void cleanupTestCase() { delete window; }

    void init()
    {
        sys::DisplayRotation::setDegrees(0);
        QTRY_VERIFY(!vexa::screen::hasPendingEvents());
        tick(); // consume whatever painting happened before
        capture.take(50);
        screenWatcher.updatePending = false;
        screenWatcher.highlightRect = QRect();
    }

    void tickSendsOneUpdateOnlyAfterPainting()
    {
        tick();
        QVERIFY(capture.take(200).isEmpty());

        paintAndSettle();
        tick();
        const QList<ScreenCommand> sent = capture.take();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].type, int32_t(ScreenCommand::UPDATE_SCREEN));
        QCOMPARE(sent[0].waveform, int32_t(ScreenProxy::GU));
        QCOMPARE(sent[0].wait, int32_t(ScreenCommand::SERVICE_WAIT));
        QVERIFY(!screenWatcher.updatePending);

        // The flag was consumed: the next tick has nothing to send.
        tick();
        QVERIFY(capture.take(200).isEmpty());
    }

    void pendingEventsPostponeTheUpdate()
    {
        paintAndSettle();
        QObject receiver;
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        tick();
        QVERIFY(capture.take(200).isEmpty());
        QVERIFY(screenWatcher.updatePending);

        QCoreApplication::processEvents();
        QTRY_VERIFY(!vexa::screen::hasPendingEvents());
        tick();
        QCOMPARE(capture.take().size(), 1);
        QVERIFY(!screenWatcher.updatePending);
    }

    void outlineIsDrawnBeforeTheUpdate()
    {
        paintAndSettle();
        screenWatcher.highlightRect = QRect(QPoint(10, 20), QPoint(109, 59));
        tick();
        const QList<ScreenCommand> sent = capture.take();
        QCOMPARE(sent.size(), 2);
        QCOMPARE(sent[0].type, int32_t(ScreenCommand::DRAW_LINES));
        QCOMPARE(points(sent[0]), (QList<QPoint>{ { 10, 20 }, { 109, 20 }, { 109, 59 },
                                                  { 10, 59 }, { 10, 20 } }));
        QCOMPARE(sent[0].color, 0);
        QCOMPARE(sent[0].size, 1);
        QCOMPARE(sent[1].type, int32_t(ScreenCommand::UPDATE_SCREEN));
        QCOMPARE(sent[1].waveform, int32_t(ScreenProxy::GU));
        QVERIFY(screenWatcher.highlightRect.isNull());

        // Consumed: a later refresh draws no outline.
        paintAndSettle();
        tick();
        const QList<ScreenCommand> later = capture.take();
        QCOMPARE(later.size(), 1);
        QCOMPARE(later[0].type, int32_t(ScreenCommand::UPDATE_SCREEN));
    }

    void outlineFollowsTheRotation()
    {
        // The example of a portrait screen whose right edge is 599.
        QCOMPARE(ScreenProxy::toPanel(QRect(QPoint(10, 20), QPoint(109, 59)), QSize(600, 800), 90),
                 QRect(20, 490, 40, 100));
        QCOMPARE(ScreenProxy::toPanel(QRect(QPoint(10, 20), QPoint(109, 59)), QSize(600, 800), 0),
                 QRect(10, 20, 100, 40));
        QCOMPARE(ScreenProxy::toPanel(QRect(QPoint(10, 20), QPoint(109, 59)), QSize(600, 800), 180),
                 QRect(490, 740, 100, 40));
        QCOMPARE(ScreenProxy::toPanel(QRect(QPoint(10, 20), QPoint(109, 59)), QSize(600, 800), 270),
                 QRect(740, 10, 40, 100));

        // Through a tick, with the running display's rotation and screen.
        const QRect screen = vexa::screen::desktopGeometry();
        sys::DisplayRotation::setDegrees(90);
        paintAndSettle();
        screenWatcher.highlightRect = QRect(QPoint(10, 20), QPoint(109, 59));
        tick();
        const QList<ScreenCommand> sent = capture.take();
        QCOMPARE(sent.size(), 2);
        const int top = screen.right() - 109;
        QCOMPARE(points(sent[0]), (QList<QPoint>{ { 20, top }, { 59, top }, { 59, top + 99 },
                                                  { 20, top + 99 }, { 20, top } }));
    }

    void nullOutlineStillUpdates()
    {
        paintAndSettle();
        screenWatcher.highlightRect = QRect();
        tick();
        const QList<ScreenCommand> sent = capture.take();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].type, int32_t(ScreenCommand::UPDATE_SCREEN));
    }

    void foreignTimersAreNotTicks()
    {
        paintAndSettle();
        screenWatcher.highlightRect = QRect(0, 0, 10, 10);
        QTimerEvent other(screenWatcher.timerId + 1000);
        QCoreApplication::sendEvent(&screenWatcher, &other);
        QVERIFY(capture.take(200).isEmpty());
        QVERIFY(screenWatcher.updatePending);
        QCOMPARE(screenWatcher.highlightRect, QRect(0, 0, 10, 10));
    }

    void watchClearsTheOutline()
    {
        screenWatcher.highlightRect = QRect(0, 0, 10, 10);
        QWidget other;
        screenWatcher.watch(&other);
        QVERIFY(screenWatcher.highlightRect.isNull());
    }

    void menuOutlinePaths()
    {
        MENU menu(window);
        QAction* first = menu.addAction(QStringLiteral("First"));
        QAction* second = menu.addAction(QStringLiteral("Second"));
        menu.addAction(QStringLiteral("Third"));
        menu.popup(QPoint(20, 20));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        menu.setActiveAction(first);
        QCoreApplication::processEvents();

        // Opening (a full repaint) draws the outline into the menu itself.
        screenWatcher.highlightRect = QRect(1, 1, 5, 5);
        const QImage full = menu.grab().toImage();
        QVERIFY(screenWatcher.highlightRect.isNull());
        const QRect g = menu.actionGeometry(first);
        const qreal dpr = full.devicePixelRatio();
        auto black = [&](int x, int y) {
            return qGray(full.pixel(int(x * dpr), int(y * dpr))) < 64;
        };
        QVERIFY(black(g.left() + 2, g.center().y()));
        // A 1-pixel stroke of (right - 3, bottom - 3) lands one pixel further
        // out: the outline is inset by 2 on every side, like the panel one.
        QVERIFY(black(g.right() - 2, g.center().y()));
        QVERIFY(black(g.center().x(), g.top() + 2));
        QVERIFY(black(g.center().x(), g.bottom() - 2));
        QVERIFY(!black(g.center().x(), g.bottom() - 1));

        // Moving the active entry by one: Qt repaints the two entries, the
        // menu paints no outline and hands it to the watcher instead.
        QTest::keyClick(&menu, Qt::Key_Down);
        QCOMPARE(menu.activeAction(), second);
        QTRY_VERIFY(!screenWatcher.highlightRect.isNull());
        const QRect g2 = menu.actionGeometry(second);
        QCOMPARE(screenWatcher.highlightRect,
                 QRect(menu.mapToGlobal(g2.topLeft() + QPoint(2, 2)),
                       menu.mapToGlobal(g2.bottomRight() - QPoint(2, 2))));

        // A small repaint draws nothing into the menu.
        QImage before(menu.size(), QImage::Format_RGB32);
        {
            // Render only the second entry: the outline must not appear.
            before.fill(Qt::white);
            QPainter p(&before);
            menu.render(&p, QPoint(), QRegion(g2));
        }
        QVERIFY(qGray(before.pixel(g2.left() + 2, g2.center().y())) >= 64);

        // The slot clears a pending outline and closes the menu.
        QVERIFY(!screenWatcher.highlightRect.isNull());
        menu.hide();
        QVERIFY(screenWatcher.highlightRect.isNull());
        QVERIFY(!menu.isVisible());
    }

    void closedMenuLeavesNoOutline()
    {
        MENU menu(window);
        menu.addAction(QStringLiteral("One"));
        menu.addAction(QStringLiteral("Two"));
        menu.popup(QPoint(20, 20));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        menu.setActiveAction(menu.actions().first());
        QTest::keyClick(&menu, Qt::Key_Down);
        QTRY_VERIFY(!screenWatcher.highlightRect.isNull());
        // Escape closes it through Qt's own hide, not the slot.
        QTest::keyClick(&menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu.isVisible());
        QVERIFY(screenWatcher.highlightRect.isNull());
    }
};

QTEST_MAIN(TestScreenWatcher)
#include "tst_screenwatcher.moc"
