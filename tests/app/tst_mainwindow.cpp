// The main window: the device keys it owns, the wiring of its menus, the
// whole-screen refresh, and what closing restores.

#include "app/mainwindow.h"
#include "browser/fs_model.h"
#include "browser/messagebox.h"
#include "browser/screen_watcher.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"
#include "support/views.h"

#include <QApplication>
#include <QMenu>

namespace {

const QString Flash = QStringLiteral("/media/flash");
const QString LanguageFile = QStringLiteral("/root/Settings/language");

// Counts the Right-key requests instead of starting share work.
class Window : public MainWindow
{
public:
    int zorUduCalls = 0;
    void actionBtnZorUdu() override { ++zorUduCalls; }
    QAction* action(const char* name) const { return findChild<QAction*>(QLatin1String(name)); }
    QMenu* menu(const char* name) const { return findChild<QMenu*>(QLatin1String(name)); }
    bool start()
    {
        show();
        checkZorUduMount(0);
        return QTest::qWaitForWindowActive(this) && support::waitListed(*fsView());
    }
};

// Counts the paint events of a window.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    support::ScreenListener screen;

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(screen.bind());
    }

    void init()
    {
        QDir::setCurrent(QStringLiteral("/media/sd"));
        qputenv("LANG", "ru_RU.UTF-8");
    }

    void backAndRightKeys()
    {
        Window w;
        FS_VIEW* view = w.fsView();
        w.show();
        QVERIFY(view->setDirectory(QStringLiteral("/media/flash/books")));
        QTest::keyPress(view, Qt::Key_Escape);
        QCOMPARE(w.windowTitle(), Flash);
        QTest::keyRelease(view, Qt::Key_Escape);
        QTest::keyRelease(view, Qt::Key_Right);
        QTest::keyRelease(view, Qt::Key_Down);
        QTest::keyRelease(view, Qt::Key_Right);
        QCOMPARE(w.zorUduCalls, 2);
        QVERIFY(w.isVisible());
        // At "/" the press cannot go up, and the release closes.
        QVERIFY(view->setDirectory(QStringLiteral("/")));
        QTest::keyPress(view, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QTest::keyRelease(view, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
    }

    void backAfterAMenu()
    {
        // Menu with nothing selected opens File; Back closes it, and the
        // next Back goes up at once.
        Window w;
        QVERIFY(w.start());
        FS_VIEW* view = w.fsView();
        QVERIFY(support::showDirectory(*view, QStringLiteral("/media/flash/books")));
        view->clearSelection();
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Menu);
        QTRY_COMPARE(QApplication::activePopupWidget(), w.menu("menuFile"));
        // Closed before its activation arrived, the menu would take it along.
        QTRY_COMPARE(QGuiApplication::focusWindow(), w.menu("menuFile")->windowHandle());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_COMPARE(QApplication::focusWidget(), view);
        QTest::keyPress(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(w.windowTitle(), Flash);
    }

    void pasteFromTheFileMenu()
    {
        // An empty directory has no row for the local menu: File offers Paste.
        QVERIFY(support::freshDir(QStringLiteral("/media/flash/empty")));
        Window w;
        QVERIFY(w.start());
        FS_VIEW* view = w.fsView();
        QAction* paste = w.action("actionPaste");
        emit w.menu("menuFile")->aboutToShow();
        QVERIFY(!paste->isEnabled());

        QVERIFY(support::showDirectory(*view, QStringLiteral("/media/flash/documents")));
        view->setCurrentIndex(support::indexOf(*view, QStringLiteral("note.xml")));
        QVERIFY(QMetaObject::invokeMethod(view, "actionCopy"));
        QVERIFY(support::showDirectory(*view, QStringLiteral("/media/flash/empty")));
        emit w.menu("menuFile")->aboutToShow();
        QVERIFY(paste->isEnabled());
        paste->trigger();
        QCOMPARE(support::readFile(QStringLiteral("/media/flash/empty/note.xml")),
                 support::readFile(QStringLiteral("/media/flash/documents/note.xml")));
        emit w.menu("menuFile")->aboutToShow();
        QVERIFY(!paste->isEnabled());
    }

    void refreshFlashesTheSettledScreen()
    {
        Window w;
        QVERIFY(w.start());
        QTRY_VERIFY(!screenWatcher.updatePending);
        screen.takeAll(300);
        PaintCounter counter;
        w.installEventFilter(&counter);
        w.action("actionRefresh")->trigger();
        // What lay under the menu is painted before the flash, and the one
        // flash covers it: nothing follows.
        QVERIFY(counter.paints > 0);
        const QList<QByteArray> sent = screen.takeAll(300);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(support::field(sent.first(), support::wire::Type), int(support::wire::UpdateScreen));
        QCOMPARE(support::field(sent.first(), support::wire::Waveform), 4); // GC, the default
        QCOMPARE(support::field(sent.first(), support::wire::Wait), 1);
    }

    void closeRestoresLocaleAndDirectory_data()
    {
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QByteArray>("restored");
        QTest::newRow("LANG set") << QByteArray("ru_RU.UTF-8") << QByteArray("export LANG=ru_RU.UTF-8");
        QTest::newRow("no LANG") << QByteArray() << QByteArray("export LANG=C.UTF-8");
    }

    void closeRestoresLocaleAndDirectory()
    {
        QFETCH(QByteArray, lang);
        QFETCH(QByteArray, restored);
        support::setEnv("LANG", lang);
        Window w;
        QCOMPARE(support::readFile(LanguageFile), QByteArray("export LANG=en_US.UTF-8"));
        QVERIFY(w.start());
        QCOMPARE(QDir::currentPath(), Flash);
        w.close();
        QCOMPARE(support::readFile(LanguageFile), restored);
        QCOMPARE(QDir::currentPath(), QStringLiteral("/media/sd"));
    }

    void missingFlashFallsBackToRoot()
    {
        const QString away = QStringLiteral("/media/flash.away");
        QVERIFY(QDir().rename(Flash, away));
        Window w;
        w.show();
        w.checkZorUduMount(0);
        QVERIFY(QDir().rename(away, Flash));
        QCOMPARE(w.windowTitle(), QStringLiteral("/"));
        QCOMPARE(QDir::currentPath(), QStringLiteral("/"));
    }

    void messageBoxTextIsPlain()
    {
        Window w;
        w.show();
        support::ModalDriver driver({ QMessageBox::No });
        Qt::TextFormat format = Qt::AutoText;
        driver.whileOpen = [&](QWidget* box) { format = static_cast<QMessageBox*>(box)->textFormat(); };
        QCOMPARE(showMessageBox(&w, QMessageBox::Question, QStringLiteral("Question"),
                                QStringLiteral("Copy <b>x</b>?"), QMessageBox::Yes | QMessageBox::No),
                 int(QMessageBox::No));
        QCOMPARE(driver.seen.first().text, QStringLiteral("Copy <b>x</b>?"));
        QCOMPARE(format, Qt::PlainText);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
