#pragma once

#include <QMainWindow>
#include <QString>

class CIFSSettings;
class FS_VIEW;
class Ui_MainWindow;

// The program's one top-level window: the file list with the menu bar.
// It owns the device-wide keys the file list passes on (Back, Menu, Right),
// shows the current directory as its title and keeps the device locale on
// US English while it is open.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow();
    ~MainWindow() override;

    // The style sheet the window, its menus and its dialogs share.
    static const char* const StyleSheet;

    FS_VIEW* fsView() const;

    // Start-up entry: opens the start directory, or the mounted share after
    // a hand-off restart.
    void checkZorUduMount(int share);
    void unmountZorUdu();
    // Writes the mount script and ends the event loop with code, for the
    // launcher to mount the share and start the program again; does nothing
    // without settings or a network connection.
    void prepareZorUdu(int code);
    bool ensureNetwork();
    bool writeMountScript(const CIFSSettings& settings);

public slots:
    bool newZorUdu();
    void syncZorUdu();
    void rotateScreen();
    void refreshScreen();
    void moveFonts();
    void moveDicts();
    void syncTime();
    void setSSTimes();
    void setExtBind();
    void setSplash();
    void cleanDocs();
    void showHelp();
    void showAbout();
    virtual void actionBtnZorUdu();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

    // The owner's language and working directory, as at the start.
    void restoreLocaleAndDirectory();
    // The internal flash, or "/" when it can't be entered.
    void showStartDirectory();
    // Sends the window to the panel. After the first screen the program
    // starts listening to the system manager and ends the launcher's busy
    // indicator: neither is worth delaying that screen for.
    void showOnPanel();

    // Set by Back when the parent directory could not be entered; the
    // release of that key then closes the window.
    bool atTop = false;
    QString savedLang;
    QString savedCwd;
    // The share's directory while it is mounted, empty otherwise.
    QString mountPath;
    Ui_MainWindow* ui = nullptr;
};

