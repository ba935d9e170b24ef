// The refresh watcher's tick, outline and rotation, through a stand-in panel
// that records what the watcher asks of it; and MENU's outline.

#include "browser/menu.h"
#include "browser/screen_watcher.h"
#include "platform/screen/qtcompat.h"
#include "support/rotationcases.h"

#include <QTimerEvent>
#include <QtTest>

namespace {

struct RecordingPanel : SCREEN_WATCHER::Panel
{
    int degrees = 0;
    QSize size;
    QStringList sent; // "outline", "update waveform wait"
    QRect outline;    // the last one drawn
    int rotation() const override { return degrees; }
    QSize screenSize() const override { return size; }
    void drawLines(const QPoint* p, int count, unsigned char color, int width) override
    {
        // A closed black ring of 1 px round one rectangle.
        outline = QRect(p[0], p[2]);
        const QVector<QPoint> ring{outline.topLeft(), outline.topRight(), outline.bottomRight(),
                                   outline.bottomLeft(), outline.topLeft()};
        sent << (QVector<QPoint>(p, p + count) == ring && color == 0 && width == 1 ? "outline" : "other lines");
    }
    void updateScreen(vexa::screen::ScreenProxy::Waveform w, vexa::screen::ScreenCommand::WaitMode wait) override
    {
        sent << QStringLiteral("update %1 %2").arg(w).arg(wait);
    }
};

enum Scene { Painted = 1, EventsPending = 2, OtherTimer = 4 };

} // namespace

class TestScreenWatcher : public QObject
{
    Q_OBJECT

    RecordingPanel panel;
    QWidget window;

    void sendTick(int id = screenWatcher.timerId)
    {
        QTimerEvent event(id);
        QCoreApplication::sendEvent(&screenWatcher, &event);
    }
    void paintAndSettle()
    {
        window.update();
        QTRY_VERIFY(screenWatcher.updatePending && !vexa::screen::hasPendingEvents());
    }

private slots:
    void initTestCase()
    {
        screenWatcher.setPanel(&panel);
        screenWatcher.start(3600 * 1000); // the tests deliver the ticks
        screenWatcher.watch(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void init()
    {
        QTRY_VERIFY(!vexa::screen::hasPendingEvents());
        screenWatcher.updatePending = false;
        panel.degrees = 0;
        panel.size = QSize(600, 800);
        panel.sent.clear();
    }

    void tick_data()
    {
        QTest::addColumn<int>("scene");
        QTest::addColumn<QRect>("outline");
        QTest::addColumn<QStringList>("sent");
        const QRect outline(QPoint(10, 20), QPoint(109, 59));
        const QString update = QStringLiteral("update 3 1"); // GU, SERVICE_WAIT
        QTest::newRow("nothing painted") << 0 << QRect() << QStringList();
        QTest::newRow("painted") << int(Painted) << QRect() << QStringList{update};
        QTest::newRow("events pending") << Painted + EventsPending << outline << QStringList();
        QTest::newRow("another timer") << Painted + OtherTimer << outline << QStringList();
        QTest::newRow("outline first") << int(Painted) << outline << QStringList{"outline", update};
    }

    void tick()
    {
        QFETCH(int, scene);
        QFETCH(QRect, outline);
        QFETCH(QStringList, sent);
        if (scene & Painted)
            paintAndSettle();
        screenWatcher.highlightRect = outline;
        QObject receiver;
        if (scene & EventsPending)
            QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        sendTick(scene & OtherTimer ? screenWatcher.timerId + 1 : screenWatcher.timerId);
        QCOMPARE(panel.sent, sent);
        // A refresh consumes the flag and the outline; anything else keeps
        // them for the next tick of an idle queue.
        QCOMPARE(screenWatcher.updatePending, (scene & Painted) && sent.isEmpty());
        QCOMPARE(screenWatcher.highlightRect, sent.isEmpty() ? outline : QRect());
        QTRY_VERIFY(!vexa::screen::hasPendingEvents());
        panel.sent.clear();
        sendTick();
        QCOMPARE(panel.sent.isEmpty(), !(scene & Painted) || !sent.isEmpty());
    }

    void outlineRotation_data() { support::addRotationRows(); }

    void outlineRotation()
    {
        QFETCH(int, degrees);
        QFETCH(QSize, screen);
        QFETCH(QRect, logical);
        panel.degrees = degrees;
        panel.size = screen;
        paintAndSettle();
        screenWatcher.highlightRect = logical;
        sendTick();
        QCOMPARE(panel.sent.value(0), QStringLiteral("outline"));
        QTEST(panel.outline, "panel");
    }

    void menuOutline()
    {
        MENU menu(&window);
        QAction* first = menu.addAction(QStringLiteral("First"));
        QAction* second = menu.addAction(QStringLiteral("Second"));
        menu.addAction(QStringLiteral("Third"));
        for (bool closedByQt : {false, true}) {
            menu.popup(QPoint(20, 20));
            QVERIFY(QTest::qWaitForWindowExposed(&menu));
            menu.setActiveAction(first);
            QCoreApplication::processEvents();
            // Opened (a full repaint): the outline goes into the menu, inset by 2.
            screenWatcher.highlightRect = QRect(1, 1, 5, 5);
            const QImage full = menu.grab().toImage();
            QVERIFY(screenWatcher.highlightRect.isNull());
            const QRect g = menu.actionGeometry(first).adjusted(2, 2, -2, -2);
            auto black = [&](int x, int y) { return qGray(full.pixel(x, y)) < 64; };
            QVERIFY(black(g.left(), g.center().y()) && black(g.right(), g.center().y()));
            QVERIFY(black(g.center().x(), g.bottom()) && !black(g.center().x(), g.bottom() + 1));
            // Moved by one entry: nothing painted, the watcher gets the outline.
            QTest::keyClick(&menu, Qt::Key_Down);
            const QRect g2 = menu.actionGeometry(second).adjusted(2, 2, -2, -2);
            QTRY_COMPARE(screenWatcher.highlightRect,
                         QRect(menu.mapToGlobal(g2.topLeft()), menu.mapToGlobal(g2.bottomRight())));
            // Closed by the slot or by Qt itself (Escape): no outline left.
            if (closedByQt)
                QTest::keyClick(&menu, Qt::Key_Escape);
            else
                menu.hide();
            QTRY_VERIFY(!menu.isVisible());
            QVERIFY(screenWatcher.highlightRect.isNull());
        }
    }
};

QTEST_MAIN(TestScreenWatcher)
#include "tst_screenwatcher.moc"
