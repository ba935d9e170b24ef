#include "app/mainwindow.h"

#include "app/filemanagerapplication.h"
#include "app/languageguard.h"
#include "browser/fs_view.h"
#include "browser/panelrefresh.h"
#include "browser/screen_watcher.h"
#include "platform/screen/screenproxy.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"
#include "utilities/screenrotationdialog.h"
#include "ui_mainwindow.h"
#include "utilities/about.h"
#include "utilities/devicecommands.h"
#include "utilities/movedirs.h"
#include "utilities/recentdocuments.h"
#include "utilities/service_select_dialog.h"
#include "utilities/splash.h"
#include "utilities/ss_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>

// The program's application object; main() reaches it through this pointer.
vexa::Application* vexa::application = new FileManagerApplication;

const char* const MainWindow::StyleSheet =
    "QMenuBar {"
    "    font-size: 21px;"
    "    menubar-separator: true;"
    "    margin: 1px;"
    "}"
    "QMenuBar::item {"
    "    background: transparent;"
    "    padding: 1px 5px 1px 5px;"
    "    border: 1px solid transparent;"
    "    border-radius: 5px;"
    "    margin: 1px;"
    "}"
    "QMenuBar::item:selected {"
    "    background: transparent;"
    "    border: 1px solid black;"
    "}"
    "QMenuBar::item:pressed {"
    "    background: white;"
    "    border: 1px solid black;"
    "}"
    "QMenu {"
    "    font-size: 22px;"
    "    background-color: white;"
    "    border: 1px solid black;"
    "    margin: 2px;"
    "}"
    "QMenu::item {"
    "    background-color: transparent;"
    "    padding: 2px 3px 3px 32px;"
    "    border: 1px solid transparent;"
    "    margin: 2px;"
    "}"
    "QMenu::separator {"
    "    height: 1px;"
    "    background: black;"
    "    margin-top: 1px;"
    "    margin-bottom: 1px;"
    "}"
    "QMenu::indicator {"
    "    margin: 0px 1px 0px 1px;"
    "}"
    "QMenu::indicator:non-exclusive:unchecked {"
    "    image: url(:/images/check_box_normal);"
    "}"
    "QMenu::indicator:non-exclusive:checked {"
    "    image: url(:/images/check_box_checked);"
    "}"
    "QSpinBox {"
    "    padding-left: 28px;"
    "    padding-right: 28px;"
    "    border-width: 3;"
    "}"
    "QSpinBox::up-button {"
    "    subcontrol-origin: border;"
    "    subcontrol-position: center left;"
    "    width: 36px;"
    "    height: 36px;"
    "}"
    "QSpinBox::up-arrow {"
    "    image: url(:/images/up.png);"
    "    width: 36px;"
    "    height: 36px;"
    "}"
    "QSpinBox::down-button {"
    "    subcontrol-origin: border;"
    "    subcontrol-position: center right;"
    "    width: 36px;"
    "    height: 36px;"
    "}"
    "QSpinBox::down-arrow {"
    "    image: url(:/images/down.png);"
    "    width: 36px;"
    "    height: 36px;"
    "}"
    "QPushButton {"
    "    min-width: 140px;"
    "    min-height: 30px;"
    "    background: white;"
    "}"
    "QPushButton:pressed {"
    "    background: white;"
    "}"
    "QDialog {"
    "    background: white;"
    "}";

namespace {

const char LangVar[] = "LANG";
const int WatcherInterval = 200;
// The first menu-bar entry ("File") lies under this point.
const QPoint FirstMenuPoint(8, 8);
const char HelpIcon[] =
    "<img src=\"/usr/share/gui_shell/apps/lirro/lirro.png\" alt=\"\"align=\"left\">";

} // namespace

MainWindow::MainWindow()
    : QMainWindow(nullptr)
    , atTop(false)
    , savedLang(LanguageGuard::start(QString::fromLatin1(qgetenv(LangVar))))
    , savedCwd(QDir::currentPath())
    , ui(new Ui_MainWindow)
{
    screenWatcher.start(WatcherInterval);
    screenWatcher.watch(this);

    // Flags and style sheet before the children exist: set afterwards they
    // make Qt build and polish every child a second time.
    setWindowFlags(windowFlags() & ~Qt::WindowMinimizeButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setStyleSheet(QString::fromLatin1(StyleSheet));
    ui->setupUi(this);

    FS_VIEW* view = ui->FSView;
    connect(ui->actionBtnBack, &QAction::triggered, view, &FS_VIEW::actionBtnBack);
    connect(ui->actionBtnZorUdu, &QAction::triggered, this, &MainWindow::actionBtnZorUdu);
    connect(ui->actionBtnMenu, &QAction::triggered, view, &FS_VIEW::actionBtnMenu);
    connect(ui->actionRun, &QAction::triggered, view, &FS_VIEW::actionRun);
    connect(ui->actionMkDir, &QAction::triggered, view, &FS_VIEW::actionMkDir);
    // Paste is one of the list's own (protected) command slots; with nothing
    // to select in an empty directory the local menu can't offer it there.
    connect(ui->actionPaste, SIGNAL(triggered()), view, SLOT(actionPaste()));
    connect(ui->menuFile, &QMenu::aboutToShow, this,
            [this] { ui->actionPaste->setEnabled(ui->FSView->canPaste()); });
    connect(ui->actionNewZorUdu, &QAction::triggered, this, &MainWindow::newZorUdu);
    connect(ui->actionBBSync, &QAction::triggered, this, &MainWindow::syncZorUdu);
    connect(ui->actionExit, &QAction::triggered, this, &MainWindow::close);
    connect(ui->actionHidden, &QAction::toggled, view, &FS_VIEW::actionHidden);
    connect(ui->actionRotate, &QAction::triggered, this, &MainWindow::rotateScreen);
    connect(ui->actionRefresh, &QAction::triggered, this, &MainWindow::refreshScreen);
    connect(ui->actionFonts, &QAction::triggered, this, &MainWindow::moveFonts);
    connect(ui->actionDicts, &QAction::triggered, this, &MainWindow::moveDicts);
    connect(ui->actionSync, &QAction::triggered, this, &MainWindow::syncTime);
    connect(ui->actionSSTimes, &QAction::triggered, this, &MainWindow::setSSTimes);
    connect(ui->actionExtBind, &QAction::triggered, this, &MainWindow::setExtBind);
    connect(ui->actionSplash, &QAction::triggered, this, &MainWindow::setSplash);
    connect(ui->actionCleanDocs, &QAction::triggered, this, &MainWindow::cleanDocs);
    connect(ui->actionHelp, &QAction::triggered, this, &MainWindow::showHelp);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);
    connect(view, &FS_VIEW::pathChanged, this, &MainWindow::setWindowTitle);
    // A menu closed with Back leaves the menu bar holding the keyboard, and
    // the next Back would only release it: the list takes the keys again
    // once Qt is done closing the menu.
    for (QMenu* menu : { ui->menuFile, ui->menuView, ui->menuDevice, ui->menuHelp }) {
        connect(menu, &QMenu::aboutToHide, view,
                [view] { QMetaObject::invokeMethod(view, "setFocus", Qt::QueuedConnection); });
    }
}

MainWindow::~MainWindow()
{
    delete ui;
}

FS_VIEW* MainWindow::fsView() const
{
    return ui->FSView;
}

void MainWindow::rotateScreen()
{
    ui::ScreenRotationDialog dialog(nullptr);
    dialog.popup();
}

void MainWindow::refreshScreen()
{
    updateWholeScreen();
}

void MainWindow::moveFonts()
{
    utilities::moveFonts(this, savedLang);
}

void MainWindow::moveDicts()
{
    utilities::moveDicts(this, savedLang);
}

void MainWindow::setSSTimes()
{
    sys::SystemConfig config;
    SS_DIALOG dialog(this, config.suspendInterval(), config.shutdownInterval());
    const int result = dialog.exec();
    repaintAfterDialog();
    if (result != QDialog::Accepted)
        return;
    int suspendMs = 0;
    int shutdownMs = 0;
    dialog.intervals(suspendMs, shutdownMs);
    config.setSuspendInterval(suspendMs);
    config.setShutdownInterval(shutdownMs);
    sys::SysStatus::instance().setSuspendInterval(suspendMs);
    sys::SysStatus::instance().setShutdownInterval(shutdownMs);
}

void MainWindow::setExtBind()
{
    SERVICE_SELECT_DIALOG dialog(this);
    const int result = dialog.exec();
    repaintAfterDialog();
    if (result != QDialog::Accepted)
        return;
    dialog.save();
    rebootDevice(this, savedLang);
}

void MainWindow::setSplash()
{
    utilities::setSplash(this);
}

void MainWindow::cleanDocs()
{
    utilities::cleanDocs(this);
}

void MainWindow::showHelp()
{
    const QString text = QString::fromLatin1(HelpIcon)
        + tr("<h3>Vexa tiny file manager help</h3>")
        + tr("<p>File commands in local menu (file[s] must be selected): copy, cut, paste, "
             "delete, info, copy to..., rename, edit, view.<br/><br/>")
        + tr("&lt;Up&gt;/&lt;Down&gt; - move cursor<br/>")
        + tr("&lt;Prev&gt;/&lt;Next&gt; - move to previous/next page<br/>")
        + tr("&lt;Left&gt; - go to previous working directory<br/>")
        + tr("&lt;Right&gt; - connect to big brother<br/>")
        + tr("&lt;Menu&gt; - open global/local menus<br/>")
        + tr("&lt;Back&gt; - move to parent directory / exit<br/>")
        + tr("&lt;OK&gt; - change directory / run program / procfs/sysfs view<br/>")
        + tr("<p>Touch events:<br/>")
        + tr("&lt;Single click&gt; - select item<br/>")
        + tr("&lt;Double click&gt; - activate item<br/>")
        + tr("&lt;Long press&gt; - show local menu<br/>");
    QMessageBox::about(this, tr("Help"), text);
}

void MainWindow::showAbout()
{
    utilities::showAbout(this);
}

bool MainWindow::event(QEvent* e)
{
    QMainWindow::event(e);
    e->accept();
    return true;
}

void MainWindow::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        QString parent = QString::fromLatin1("..");
        atTop = !ui->FSView->setDirectory(parent);
        return;
    }
    QMainWindow::keyPressEvent(e);
}

void MainWindow::keyReleaseEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Menu:
        if (!ui->FSView->actionMenu()) {
            // Nothing selected: open the menu bar's first menu instead.
            QCoreApplication::postEvent(ui->menuBar,
                new QMouseEvent(QEvent::MouseButtonPress, FirstMenuPoint, Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier));
        }
        break;
    case Qt::Key_Escape:
        if (atTop)
            close();
        else
            QMainWindow::keyReleaseEvent(e);
        break;
    case Qt::Key_Right:
        actionBtnZorUdu();
        break;
    default:
        QMainWindow::keyReleaseEvent(e);
        break;
    }
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    unmountZorUdu();
    restoreLocaleAndDirectory();
    e->accept();
}

void MainWindow::restoreLocaleAndDirectory()
{
    if (sys::SystemConfig::setLocale(QLocale(savedLang)))
        LanguageGuard::finish();
    QDir::setCurrent(savedCwd);
}
