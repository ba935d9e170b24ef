#ifndef UI_MAINWINDOW_H
#define UI_MAINWINDOW_H

#include "browser/fs_view.h"
#include "browser/menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLocale>
#include <QMainWindow>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QWidget>

// The main window's user-interface record: the actions, the layout around
// the file list and the menus. Every object is a Qt child of the window and
// carries its field name as object name.
class Ui_MainWindow
{
public:
    QAction* actionBtnBack;
    QAction* actionBtnZorUdu;
    QAction* actionBtnMenu;
    QAction* actionRun;
    QAction* actionMkDir;
    QAction* actionNewZorUdu;
    QAction* actionBBSync;
    QAction* actionExit;
    QAction* actionHidden;
    QAction* actionRotate;
    QAction* actionRefresh;
    QAction* actionFonts;
    QAction* actionDicts;
    QAction* actionSync;
    QAction* actionSSTimes;
    QAction* actionExtBind;
    QAction* actionSplash;
    QAction* actionCleanDocs;
    QAction* actionHelp;
    QAction* actionAbout;
    QWidget* centralWidget;
    QVBoxLayout* verticalLayout;
    QHBoxLayout* horizontalLayout_2;
    FS_VIEW* FSView;
    QMenuBar* menuBar;
    MENU* menuFile;
    MENU* menuView;
    MENU* menuDevice;
    MENU* menuHelp;

    void setupUi(QMainWindow* MainWindow)
    {
        if (MainWindow->objectName().isEmpty())
            MainWindow->setObjectName(QString::fromLatin1("MainWindow"));
        MainWindow->resize(600, 600);
        MainWindow->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));

        actionBtnBack = newAction(MainWindow, "actionBtnBack");
        actionBtnZorUdu = newAction(MainWindow, "actionBtnZorUdu");
        actionBtnMenu = newAction(MainWindow, "actionBtnMenu");
        actionRun = newAction(MainWindow, "actionRun");
        actionMkDir = newAction(MainWindow, "actionMkDir");
        actionNewZorUdu = newAction(MainWindow, "actionNewZorUdu");
        actionBBSync = newAction(MainWindow, "actionBBSync");
        actionExit = newAction(MainWindow, "actionExit");
        actionHidden = newAction(MainWindow, "actionHidden");
        actionHidden->setCheckable(true);
        actionRotate = newAction(MainWindow, "actionRotate");
        actionRefresh = newAction(MainWindow, "actionRefresh");
        actionFonts = newAction(MainWindow, "actionFonts");
        actionDicts = newAction(MainWindow, "actionDicts");
        actionSync = newAction(MainWindow, "actionSync");
        actionSSTimes = newAction(MainWindow, "actionSSTimes");
        actionExtBind = newAction(MainWindow, "actionExtBind");
        actionSplash = newAction(MainWindow, "actionSplash");
        actionCleanDocs = newAction(MainWindow, "actionCleanDocs");
        actionHelp = newAction(MainWindow, "actionHelp");
        actionAbout = newAction(MainWindow, "actionAbout");

        centralWidget = new QWidget(MainWindow);
        centralWidget->setObjectName(QString::fromLatin1("centralWidget"));
        verticalLayout = new QVBoxLayout(centralWidget);
        verticalLayout->setSpacing(6);
        verticalLayout->setContentsMargins(11, 11, 11, 11);
        verticalLayout->setObjectName(QString::fromLatin1("verticalLayout"));
        horizontalLayout_2 = new QHBoxLayout();
        horizontalLayout_2->setSpacing(6);
        horizontalLayout_2->setObjectName(QString::fromLatin1("horizontalLayout_2"));
        FSView = new FS_VIEW(centralWidget);
        FSView->setObjectName(QString::fromLatin1("FSView"));
        // It carries no actions, so no context menu ever shows.
        FSView->setContextMenuPolicy(Qt::ActionsContextMenu);
        horizontalLayout_2->addWidget(FSView);
        verticalLayout->addLayout(horizontalLayout_2);
        MainWindow->setCentralWidget(centralWidget);

        menuBar = new QMenuBar(MainWindow);
        menuBar->setObjectName(QString::fromLatin1("menuBar"));
        menuBar->setGeometry(QRect(0, 0, 600, 25));
        menuFile = newMenu(menuBar, "menuFile");
        menuView = newMenu(menuBar, "menuView");
        menuDevice = newMenu(menuBar, "menuDevice");
        menuHelp = newMenu(menuBar, "menuHelp");
        MainWindow->setMenuBar(menuBar);

        menuBar->addAction(menuFile->menuAction());
        menuBar->addAction(menuView->menuAction());
        menuBar->addAction(menuDevice->menuAction());
        menuBar->addAction(menuHelp->menuAction());
        menuBar->addSeparator();
        menuBar->addAction(actionBtnBack);
        menuBar->addAction(actionBtnZorUdu);
        menuBar->addAction(actionBtnMenu);
        menuFile->addAction(actionRun);
        menuFile->addAction(actionMkDir);
        menuFile->addAction(actionNewZorUdu);
        menuFile->addAction(actionBBSync);
        menuFile->addSeparator();
        menuFile->addAction(actionExit);
        menuView->addAction(actionHidden);
        menuView->addAction(actionRotate);
        menuView->addAction(actionRefresh);
        menuDevice->addAction(actionFonts);
        menuDevice->addAction(actionDicts);
        menuDevice->addAction(actionSync);
        menuDevice->addAction(actionSSTimes);
        menuDevice->addAction(actionExtBind);
        menuDevice->addAction(actionSplash);
        menuDevice->addAction(actionCleanDocs);
        menuHelp->addAction(actionHelp);
        menuHelp->addAction(actionAbout);

        retranslateUi(MainWindow);

        QMetaObject::connectSlotsByName(MainWindow);
    }

    void retranslateUi(QMainWindow* /*MainWindow*/)
    {
        actionBtnBack->setText(QCoreApplication::translate("MainWindow", "PrevDir"));
        actionBtnZorUdu->setText(QCoreApplication::translate("MainWindow", "ZorUdu"));
        actionBtnMenu->setText(QCoreApplication::translate("MainWindow", "Menu"));
        actionRun->setText(QCoreApplication::translate("MainWindow", "Run..."));
        actionMkDir->setText(QCoreApplication::translate("MainWindow", "Make dir..."));
        actionNewZorUdu->setText(QCoreApplication::translate("MainWindow", "New ZorUdu..."));
        actionBBSync->setText(QCoreApplication::translate("MainWindow", "Sync with ZorUdu"));
        actionExit->setText(QCoreApplication::translate("MainWindow", "Exit"));
        actionHidden->setText(QCoreApplication::translate("MainWindow", "Show hidden"));
        actionRotate->setText(QCoreApplication::translate("MainWindow", "Rotate screen"));
        actionRefresh->setText(QCoreApplication::translate("MainWindow", "Refresh screen"));
        actionFonts->setText(QCoreApplication::translate("MainWindow", "Move user fonts to system area"));
        actionDicts->setText(QCoreApplication::translate("MainWindow", "Move user dicts to system area"));
        actionSync->setText(QCoreApplication::translate("MainWindow", "Sync with Internet time"));
        actionSSTimes->setText(QCoreApplication::translate("MainWindow", "Set suspend/shutdown times..."));
        actionExtBind->setText(QCoreApplication::translate("MainWindow", "Set additional file bindings..."));
        actionSplash->setText(QCoreApplication::translate("MainWindow", "Set boot splash picture..."));
        actionCleanDocs->setText(QCoreApplication::translate("MainWindow", "Clean 'Recent Documents'"));
        actionHelp->setText(QCoreApplication::translate("MainWindow", "Help"));
        actionAbout->setText(QCoreApplication::translate("MainWindow", "About"));
        menuFile->setTitle(QCoreApplication::translate("MainWindow", "File"));
        menuView->setTitle(QCoreApplication::translate("MainWindow", "View"));
        menuDevice->setTitle(QCoreApplication::translate("MainWindow", "Device"));
        menuHelp->setTitle(QCoreApplication::translate("MainWindow", "Help"));
    }

private:
    static QAction* newAction(QMainWindow* window, const char* name)
    {
        QAction* action = new QAction(window);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    }

    static MENU* newMenu(QMenuBar* bar, const char* name)
    {
        MENU* menu = new MENU(bar);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    }
};

namespace Ui {
class MainWindow : public Ui_MainWindow {};
} // namespace Ui

#endif // UI_MAINWINDOW_H
