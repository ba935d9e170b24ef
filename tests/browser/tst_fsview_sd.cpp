#include "platform/sys/sysstatus.h"
#include "support/sandbox.h"
#include "viewtestutil.h"

#include <QSignalSpy>

// The Back ring as it starts with an SD card in the slot.
class TestFsViewSd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(sys::SysStatus::instance().isSDMounted());
    }

    void backAlternatesBetweenCardAndFlash()
    {
        FS_VIEW view;
        QSignalSpy titles(&view, &FS_VIEW::pathChanged);
        QCOMPARE(view.history.size(), 2);
        QCOMPARE(view.history.at(0).path, QStringLiteral("/media/flash"));
        QCOMPARE(view.history.at(1).path, QStringLiteral("/media/sd"));
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash")));

        // Left key release and the "PrevDir" slot both go back.
        QTest::keyRelease(&view, Qt::Key_Left);
        QCOMPARE(titles.last().at(0).toString(), QStringLiteral("/media/sd"));
        view.actionBtnBack();
        QCOMPARE(titles.last().at(0).toString(), QStringLiteral("/media/flash"));
        QTest::keyRelease(&view, Qt::Key_Left);
        QCOMPARE(titles.last().at(0).toString(), QStringLiteral("/media/sd"));
        QCOMPARE(view.history.size(), 2);

        // Work done in a third directory joins the ring as its newest entry.
        QVERIFY(showDirectory(view, QStringLiteral("/media/sd/library")));
        view.setCurrentIndex(rowIndex(view, 0));
        whenMenuOpens([](MENU* menu) { QTest::keyClick(menu, Qt::Key_Return); });
        QVERIFY(view.actionMenu());
        QVERIFY(showDirectory(view, QStringLiteral("/media/sd")));
        QCOMPARE(view.history.size(), 3);
        QTest::keyRelease(&view, Qt::Key_Left);
        QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/media/sd/library"));
        QCOMPARE(view.model->fileName(view.currentIndex()), QStringLiteral("novels"));
    }
};

QTEST_MAIN(TestFsViewSd)
#include "tst_fsview_sd.moc"
