// The main window: its user-interface record, style sheet, wiring, the
// device keys it owns, the start directory and what closing restores.

#include "app/mainwindow.h"
#include "support/sandbox.h"
#include "app/ui_mainwindow.h"
#include "browser/fs_model.h"
#include "browser/fs_view.h"
#include "browser/menu.h"
#include "browser/messagebox.h"
#include "browser/screen_watcher.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QUdpSocket>
#include <QtTest>

#include <cstring>
#include <functional>

namespace {

const QString Flash = QStringLiteral("/media/flash");
const QString LanguageFile = QStringLiteral("/root/Settings/language");

// Counts the Right-key / "ZorUdu" requests instead of starting share work,
// and lets the test reach the window's record.
class Window : public MainWindow
{
public:
    int zorUduCalls = 0;
    void actionBtnZorUdu() override { ++zorUduCalls; }
    Ui_MainWindow* record() const { return ui; }
    bool isAtTop() const { return atTop; }
};

QStringList texts(const QList<QAction*>& actions)
{
    QStringList result;
    for (QAction* a : actions)
        result << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return result;
}

QStringList listedNames(FS_VIEW* view)
{
    QStringList names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model->rowCount(root); ++row)
        names << view->model->index(row, 0, root).data().toString();
    return names;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Runs check on the next modal widget / popup once it shows.
void whenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> check)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, find, check]() {
        if (QWidget* w = find()) {
            timer->stop();
            timer->deleteLater();
            check(w);
        }
    });
    timer->start();
}

QWidget* modalMessageBox()
{
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

void selectFirstRow(FS_VIEW* view)
{
    QTRY_VERIFY(view->model->rowCount(view->rootIndex()) > 0);
    view->setCurrentIndex(view->model->index(0, 0, view->rootIndex()));
    QVERIFY(!view->selectionModel()->selectedRows().isEmpty());
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void userInterfaceRecord();
    void styleSheet();
    void titleAndStartDirectory();
    void actionConnections();
    void backKey();
    void menuKey();
    void rightKey();
    void closeRestoresLocaleAndDirectory();
    void missingFlashFallsBackToRoot();
    void messageBox();

private:
    QUdpSocket screenService;
};

void TestMainWindow::initTestCase()
{
    REQUIRE_SANDBOX();
    // Stand in for the screen service before any update is sent.
    QVERIFY(screenService.bind(QHostAddress::LocalHost, 5678));
}

void TestMainWindow::init()
{
    QDir::setCurrent(QStringLiteral("/media/sd"));
    qputenv("LANG", "ru_RU.UTF-8");
}

void TestMainWindow::cleanup()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

void TestMainWindow::userInterfaceRecord()
{
    Window w;
    Ui_MainWindow* ui = w.record();
    QCOMPARE(w.objectName(), QStringLiteral("MainWindow"));

    const QList<QObject*> fields = {
        ui->actionBtnBack, ui->actionBtnZorUdu, ui->actionBtnMenu, ui->actionRun,
        ui->actionMkDir, ui->actionNewZorUdu, ui->actionBBSync, ui->actionExit,
        ui->actionHidden, ui->actionRotate, ui->actionRefresh, ui->actionFonts,
        ui->actionDicts, ui->actionSync, ui->actionSSTimes, ui->actionExtBind,
        ui->actionSplash, ui->actionCleanDocs, ui->actionHelp, ui->actionAbout,
        ui->centralWidget, ui->verticalLayout, ui->horizontalLayout_2, ui->FSView,
        ui->menuBar, ui->menuFile, ui->menuView, ui->menuDevice, ui->menuHelp};
    const QStringList names = {
        "actionBtnBack", "actionBtnZorUdu", "actionBtnMenu", "actionRun", "actionMkDir",
        "actionNewZorUdu", "actionBBSync", "actionExit", "actionHidden", "actionRotate",
        "actionRefresh", "actionFonts", "actionDicts", "actionSync", "actionSSTimes",
        "actionExtBind", "actionSplash", "actionCleanDocs", "actionHelp", "actionAbout",
        "centralWidget", "verticalLayout", "horizontalLayout_2", "FSView", "menuBar",
        "menuFile", "menuView", "menuDevice", "menuHelp"};
    for (int i = 0; i < fields.size(); ++i) {
        QCOMPARE(fields[i]->objectName(), names[i]);
        bool childOfWindow = false;
        for (QObject* o = fields[i]; o; o = o->parent())
            childOfWindow = childOfWindow || o == &w;
        QVERIFY2(childOfWindow, qPrintable(names[i]));
    }
    for (QAction* a : w.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        QVERIFY(a->shortcut().isEmpty());
        QCOMPARE(a->isCheckable(), a == ui->actionHidden);
    }

    QCOMPARE(w.menuBar(), ui->menuBar);
    QCOMPARE(w.centralWidget(), ui->centralWidget);
    QCOMPARE(ui->FSView->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(ui->verticalLayout->spacing(), 6);
    QCOMPARE(ui->verticalLayout->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(ui->horizontalLayout_2->spacing(), 6);
    QCOMPARE(w.locale(), QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(!(w.windowFlags() & Qt::WindowMinimizeButtonHint));
    QCOMPARE(w.windowModality(), Qt::ApplicationModal);

    for (MENU* m : {ui->menuFile, ui->menuView, ui->menuDevice, ui->menuHelp})
        QCOMPARE(m->parent(), ui->menuBar);
    QCOMPARE(texts(ui->menuBar->actions()),
             QStringList({"File", "View", "Device", "Help", "|", "PrevDir", "ZorUdu", "Menu"}));
    QCOMPARE(ui->menuBar->actions().at(0), ui->menuFile->menuAction());
    QCOMPARE(ui->menuBar->actions().at(6), ui->actionBtnZorUdu);
    QCOMPARE(texts(ui->menuFile->actions()),
             QStringList({"Run...", "Make dir...", "New ZorUdu...", "Sync with ZorUdu", "|",
                          "Exit"}));
    QCOMPARE(texts(ui->menuView->actions()),
             QStringList({"Show hidden", "Rotate screen", "Refresh screen"}));
    QCOMPARE(texts(ui->menuDevice->actions()),
             QStringList({"Move user fonts to system area", "Move user dicts to system area",
                          "Sync with Internet time", "Set suspend/shutdown times...",
                          "Set additional file bindings...", "Set boot splash picture...",
                          "Clean 'Recent Documents'"}));
    QCOMPARE(texts(ui->menuHelp->actions()), QStringList({"Help", "About"}));

    // The watcher's tick runs from the window's construction on.
    QVERIFY(screenWatcher.timerId != 0);
    // The window itself is watched for repaints.
    screenWatcher.updatePending = false;
    QEvent request(QEvent::UpdateRequest);
    QApplication::sendEvent(&w, &request);
    QVERIFY(screenWatcher.updatePending);
}

void TestMainWindow::styleSheet()
{
    const QString expected = QStringLiteral(
        "QMenuBar {    font-size: 21px;    menubar-separator: true;    margin: 1px;}"
        "QMenuBar::item {    background: transparent;    padding: 1px 5px 1px 5px;"
        "    border: 1px solid transparent;    border-radius: 5px;    margin: 1px;}"
        "QMenuBar::item:selected {    background: transparent;    border: 1px solid black;}"
        "QMenuBar::item:pressed {    background: white;    border: 1px solid black;}"
        "QMenu {    font-size: 22px;    background-color: white;    border: 1px solid black;"
        "    margin: 2px;}"
        "QMenu::item {    background-color: transparent;    padding: 2px 3px 3px 32px;"
        "    border: 1px solid transparent;    margin: 2px;}"
        "QMenu::separator {    height: 1px;    background: black;    margin-top: 1px;"
        "    margin-bottom: 1px;}"
        "QMenu::indicator {    margin: 0px 1px 0px 1px;}"
        "QMenu::indicator:non-exclusive:unchecked {    image: url(:/images/check_box_normal);}"
        "QMenu::indicator:non-exclusive:checked {    image: url(:/images/check_box_checked);}"
        "QSpinBox {    padding-left: 28px;    padding-right: 28px;    border-width: 3;}"
        "QSpinBox::up-button {    subcontrol-origin: border;    subcontrol-position: center left;"
        "    width: 36px;    height: 36px;}"
        "QSpinBox::up-arrow {    image: url(:/images/up.png);    width: 36px;    height: 36px;}"
        "QSpinBox::down-button {    subcontrol-origin: border;"
        "    subcontrol-position: center right;    width: 36px;    height: 36px;}"
        "QSpinBox::down-arrow {    image: url(:/images/down.png);    width: 36px;    height: 36px;}"
        "QPushButton {    min-width: 140px;    min-height: 30px;    background: white;}"
        "QPushButton:pressed {    background: white;}"
        "QDialog {    background: white;}");
    QCOMPARE(QString::fromLatin1(MainWindow::StyleSheet), expected);
    Window w;
    QCOMPARE(w.styleSheet(), expected);
}

void TestMainWindow::titleAndStartDirectory()
{
    Window w;
    // Nothing is shown before the first change of directory.
    QCOMPARE(w.windowTitle(), QString());
    w.show();
    w.checkZorUduMount(0);
    QCOMPARE(w.windowTitle(), Flash);
    QCOMPARE(QDir::currentPath(), Flash);
    QTRY_VERIFY(listedNames(w.fsView()).contains(QStringLiteral("documents")));

    QVERIFY(w.fsView()->setDirectory(QStringLiteral("/media/sd/library/../music")));
    QCOMPARE(w.windowTitle(), QStringLiteral("/media/sd/music"));
    QVERIFY(!w.fsView()->setDirectory(QStringLiteral("/media/none")));
    QCOMPARE(w.windowTitle(), QStringLiteral("/media/sd/music"));
}

void TestMainWindow::actionConnections()
{
    Window w;
    Ui_MainWindow* ui = w.record();
    FS_VIEW* view = w.fsView();
    w.show();
    w.checkZorUduMount(0);
    QTRY_VERIFY(listedNames(view).contains(QStringLiteral("README.txt")));
    QVERIFY(!listedNames(view).contains(QStringLiteral(".hidden_note")));

    // "Show hidden" on and off.
    ui->actionHidden->trigger();
    QVERIFY(ui->actionHidden->isChecked());
    QTRY_VERIFY(listedNames(view).contains(QStringLiteral(".hidden_note")));
    QVERIFY(listedNames(view).contains(QStringLiteral(".config")));
    const int books = listedNames(view).indexOf(QStringLiteral("books"));
    QVERIFY(books >= 0);
    view->setCurrentIndex(view->model->index(books, 0, view->rootIndex()));
    QVERIFY(!view->selectionModel()->selectedRows().isEmpty());
    ui->actionHidden->trigger();
    QTRY_VERIFY(!listedNames(view).contains(QStringLiteral(".hidden_note"))
                && !listedNames(view).contains(QStringLiteral(".config")));
    QVERIFY(view->selectionModel()->selectedRows().isEmpty());

    // "PrevDir" goes back to the seeded start directory.
    QVERIFY(view->setDirectory(QStringLiteral("/")));
    ui->actionBtnBack->trigger();
    QCOMPARE(w.windowTitle(), Flash);

    // "ZorUdu" reaches the window's slot.
    ui->actionBtnZorUdu->trigger();
    QCOMPARE(w.zorUduCalls, 1);

    // "Refresh screen": one whole-screen update, default waveform, service wait.
    while (screenService.hasPendingDatagrams())
        screenService.receiveDatagram();
    ui->actionRefresh->trigger();
    bool refreshed = false;
    QElapsedTimer clock;
    clock.start();
    while (!refreshed && clock.elapsed() < 3000) {
        if (!screenService.waitForReadyRead(100))
            continue;
        while (screenService.hasPendingDatagrams()) {
            const QByteArray d = screenService.receiveDatagram().data();
            QCOMPARE(d.size(), 164);
            qint32 f[41];
            std::memcpy(f, d.constData(), sizeof f);
            // type UPDATE_SCREEN, default waveform GC, full, SERVICE_WAIT
            if (f[0] == 2 && f[1] == 4) {
                QCOMPARE(f[2], 0);
                QCOMPARE(f[40], 1);
                refreshed = true;
            }
        }
    }
    QVERIFY(refreshed);

    // "Help": the about box with the device's help text.
    QString helpTitle, helpText;
    whenShown(modalMessageBox, [&](QWidget* box) {
        helpTitle = box->windowTitle();
        helpText = static_cast<QMessageBox*>(box)->text();
        box->close();
    });
    ui->actionHelp->trigger();
    QCOMPARE(helpTitle, QStringLiteral("Help"));
    QCOMPARE(helpText,
             QStringLiteral(
                 "<img src=\"/usr/share/gui_shell/apps/lirro/lirro.png\" alt=\"\"align=\"left\">"
                 "<h3>Vexa tiny file manager help</h3>"
                 "<p>File commands in local menu (file[s] must be selected): copy, cut, paste, "
                 "delete, info, copy to..., rename, edit, view.<br/><br/>"
                 "&lt;Up&gt;/&lt;Down&gt; - move cursor<br/>"
                 "&lt;Prev&gt;/&lt;Next&gt; - move to previous/next page<br/>"
                 "&lt;Left&gt; - go to previous working directory<br/>"
                 "&lt;Right&gt; - connect to big brother<br/>"
                 "&lt;Menu&gt; - open global/local menus<br/>"
                 "&lt;Back&gt; - move to parent directory / exit<br/>"
                 "&lt;OK&gt; - change directory / run program / procfs/sysfs view<br/>"
                 "<p>Touch events:<br/>"
                 "&lt;Single click&gt; - select item<br/>"
                 "&lt;Double click&gt; - activate item<br/>"
                 "&lt;Long press&gt; - show local menu<br/>"));

    // "Exit" closes the window, with the close handling.
    ui->actionExit->trigger();
    QVERIFY(!w.isVisible());
    QCOMPARE(QDir::currentPath(), QStringLiteral("/media/sd"));
}

void TestMainWindow::backKey()
{
    Window w;
    FS_VIEW* view = w.fsView();
    w.show();
    QVERIFY(view->setDirectory(QStringLiteral("/media/flash/books")));

    // Elsewhere than "/": the parent is shown and the window stays.
    QTest::keyPress(view, Qt::Key_Escape);
    QCOMPARE(w.windowTitle(), Flash);
    QVERIFY(!w.isAtTop());
    QTest::keyRelease(view, Qt::Key_Escape);
    QVERIFY(w.isVisible());

    // At "/" the press cannot go up, and the release closes.
    QVERIFY(view->setDirectory(QStringLiteral("/")));
    QTest::keyPress(view, Qt::Key_Escape);
    QVERIFY(w.isAtTop());
    QCOMPARE(w.windowTitle(), QStringLiteral("/"));
    QVERIFY(w.isVisible());
    QTest::keyRelease(view, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
}

void TestMainWindow::menuKey()
{
    Window w;
    Ui_MainWindow* ui = w.record();
    FS_VIEW* view = w.fsView();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.checkZorUduMount(0);

    // Nothing selected: the menu bar's "File" menu opens.
    QVERIFY(view->selectionModel()->selectedRows().isEmpty());
    QTest::keyRelease(view, Qt::Key_Menu);
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(ui->menuFile));
    ui->menuFile->close();
    QTRY_VERIFY(!QApplication::activePopupWidget());

    // With a selection: the file list's local menu instead.
    selectFirstRow(view);
    QStringList entries;
    QObject* menuParent = nullptr;
    whenShown([] { return QApplication::activePopupWidget(); }, [&](QWidget* popup) {
        menuParent = popup->parent();
        if (qobject_cast<MENU*>(popup))
            entries = texts(popup->actions());
        popup->close();
    });
    QTest::keyRelease(view, Qt::Key_Menu);
    QTRY_VERIFY(!entries.isEmpty());
    QCOMPARE(menuParent, view);
    QCOMPARE(entries.first(), QStringLiteral("Copy"));
    QVERIFY(!ui->menuFile->isVisible());
}

void TestMainWindow::rightKey()
{
    Window w;
    FS_VIEW* view = w.fsView();
    w.show();
    w.checkZorUduMount(0);
    QTest::keyPress(view, Qt::Key_Right);
    QCOMPARE(w.zorUduCalls, 0);
    QTest::keyRelease(view, Qt::Key_Right);
    QCOMPARE(w.zorUduCalls, 1);
    QTest::keyPress(view, Qt::Key_Right);
    QTest::keyRelease(view, Qt::Key_Right);
    QCOMPARE(w.zorUduCalls, 2);
    // Other releases do not reach it.
    QTest::keyRelease(view, Qt::Key_Left);
    QTest::keyRelease(view, Qt::Key_Down);
    QCOMPARE(w.zorUduCalls, 2);
}

void TestMainWindow::closeRestoresLocaleAndDirectory()
{
    {
        Window w;
        // English while the window is open.
        QCOMPARE(readFile(LanguageFile), QByteArray("export LANG=en_US.UTF-8"));
        QCOMPARE(qgetenv("LANG"), QByteArray("en_US.UTF-8"));
        w.show();
        w.checkZorUduMount(0);
        QCOMPARE(QDir::currentPath(), Flash);
        w.close();
        QCOMPARE(readFile(LanguageFile), QByteArray("export LANG=ru_RU.UTF-8"));
        QCOMPARE(qgetenv("LANG"), QByteArray("ru_RU.UTF-8"));
        QCOMPARE(QDir::currentPath(), QStringLiteral("/media/sd"));
    }
    {
        // No LANG at start: the locale made from an empty name.
        qunsetenv("LANG");
        Window w;
        QCOMPARE(readFile(LanguageFile), QByteArray("export LANG=en_US.UTF-8"));
        w.show();
        w.close();
        QCOMPARE(readFile(LanguageFile), QByteArray("export LANG=C.UTF-8"));
    }
}

void TestMainWindow::missingFlashFallsBackToRoot()
{
    const QString away = QStringLiteral("/media/flash.away");
    QVERIFY(QDir().rename(Flash, away));
    Window w;
    w.show();
    w.checkZorUduMount(0);
    const bool renamedBack = QDir().rename(away, Flash);
    QVERIFY(renamedBack);
    QCOMPARE(w.windowTitle(), QStringLiteral("/"));
    QCOMPARE(QDir::currentPath(), QStringLiteral("/"));
    QCOMPARE(w.fsView()->model->filePath(w.fsView()->rootIndex()), QStringLiteral("/"));
}

void TestMainWindow::messageBox()
{
    Window w;
    w.show();
    for (QMessageBox::StandardButton press : {QMessageBox::No, QMessageBox::Yes}) {
        bool watched = false;
        Qt::WindowFlags flags;
        QString title, text;
        Qt::TextFormat format = Qt::AutoText;
        QWidget* parent = nullptr;
        whenShown(modalMessageBox, [&](QWidget* widget) {
            auto* box = static_cast<QMessageBox*>(widget);
            flags = box->windowFlags();
            format = box->textFormat();
            title = box->windowTitle();
            text = box->text();
            parent = box->parentWidget();
            screenWatcher.updatePending = false;
            QEvent request(QEvent::UpdateRequest);
            QApplication::sendEvent(box, &request);
            watched = screenWatcher.updatePending;
            box->button(press)->click();
        });
        const int result = showMessageBox(&w, QMessageBox::Question, QStringLiteral("Question"),
                                          QStringLiteral("Copy <b>x</b>?"),
                                          QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(result, int(press));
        QVERIFY(watched);
        QCOMPARE(title, QStringLiteral("Question"));
        QCOMPARE(text, QStringLiteral("Copy <b>x</b>?"));
        QCOMPARE(format, Qt::PlainText);   // a file name is never markup
        QCOMPARE(parent, static_cast<QWidget*>(&w));
        QVERIFY(flags & Qt::Dialog);
        QVERIFY(flags & Qt::MSWindowsFixedSizeDialogHint);
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
