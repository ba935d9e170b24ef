// The main window's share commands: settings, the mount hand-off to the
// launcher, unmounting, directory and time synchronisation.
#include "app/mainwindow.h"

#include "browser/fs_view.h"
#include "browser/messagebox.h"
#include "browser/panelrefresh.h"
#include "fileops/outputwindow.h"
#include "fileops/runcommandsync.h"
#include "network/wifidialog.h"
#include "platform/sys/sysstatus.h"
#include "share/cifsdialog.h"
#include "share/cifssettings.h"
#include "share/sharescripts.h"
#include "share/writescript.h"
#include "utilities/devicecommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/mount.h>

namespace {

// Exit statuses that ask the launcher to mount the share and start the
// program again: open it, or open it and synchronise.
const int MountCode = 123;
const int MountAndSyncCode = 124;

const char StartDirectory[] = "/media/flash";
// Where the window goes when the internal flash cannot be entered, so the
// owner still has a usable list instead of an empty window.
const char FallbackDirectory[] = "/";
const char MountCommand[] = "mount";
const char Shell[] = "sh";
const char RemoveMountRoot[] = "chmod 0777 /mnt/ZorUdu; rm -rf /mnt/ZorUdu";
// rsync over the whole share may take long, but not for ever.
const int SyncTimeoutMs = 1000000;
// Answers the time protocol (RFC 868) that rdate speaks.
const char TimeServer[] = "time.nist.gov";
const char SetClocks[] = "rdate -s %1; hwclock -w -u";
const char ShowServerTime[] = "rdate -p %1";

bool belowMountRoot(const QString& path)
{
    const QString root = QLatin1String(ShareMountRoot);
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

} // namespace

void MainWindow::showStartDirectory()
{
    if (!fsView()->setDirectory(QLatin1String(StartDirectory))) {
        qWarning("Can not open %s, showing %s", StartDirectory, FallbackDirectory);
        fsView()->setDirectory(QLatin1String(FallbackDirectory));
    }
}

void MainWindow::showOnPanel()
{
    flushWindow(this);
    sys::SysStatus& system = sys::SysStatus::instance();
    if (system.isListening())
        return;
    system.listen();
    system.setSystemBusy(false, true);
}

void MainWindow::checkZorUduMount(int share)
{
    if (share != 0) {
        const QStringList mounts = shareMounts(runCommandSync(QLatin1String(MountCommand)));
        if (!mounts.isEmpty()) {
            mountPath = mounts.size() == 1 ? mounts.first() : QLatin1String(ShareMountRoot);
            actionBtnZorUdu();
            showOnPanel();
            if (share == MountAndSyncCode)
                syncZorUdu();
            return;
        }
        showOnPanel();
        showMessageBox(this, QMessageBox::Critical, tr("Error!"),
                       tr("ZorUdu mounting failure\n"
                          "CIFS module loading code is placed in /opt/vexa/arm/bin/lirro.oar\n"
                          "CIFS mounting format is placed in /root/lirro/cifs.cmdfmt\n"
                          "Mounting code is placed in /tmp/lirro_mount.sh"),
                       QMessageBox::Ok | QMessageBox::Cancel);
    }
    showStartDirectory();
    showOnPanel();
}

void MainWindow::actionBtnZorUdu()
{
    if (!mountPath.isEmpty())
        fsView()->setDirectory(mountPath);
    else
        prepareZorUdu(MountCode);
}

bool MainWindow::newZorUdu()
{
    CIFSSettings settings;
    if (CIFSSettings::exists())
        settings.load();
    else
        settings.setDefaults();
    bool accepted = false;
    {
        ::ui::CIFSDialog dialog(this, &settings);
        accepted = dialog.popup();
    }
    updateWholeScreen();
    if (!accepted)
        return false;
    unmountZorUdu();
    if (settings.save())
        return true;
    showMessageBox(this, QMessageBox::Critical, tr("Error!"),
                   tr("Can not save %1").arg(CIFSSettings::settingsPath()),
                   QMessageBox::Ok | QMessageBox::Cancel);
    return false;
}

bool MainWindow::ensureNetwork()
{
    sys::SysStatus& status = sys::SysStatus::instance();
    if (!status.currentConnection().isEmpty())
        return true;
    int connected = 0;
    {
        ::ui::WifiDialog dialog(this, status);
        connected = dialog.popup(true);
    }
    updateWholeScreen();
    return connected != 0;
}

void MainWindow::prepareZorUdu(int code)
{
    if (!CIFSSettings::exists() && !newZorUdu())
        return;
    if (!ensureNetwork())
        return;
    sys::SysStatus& status = sys::SysStatus::instance();
    status.setSystemBusy(true, true);
    CIFSSettings settings;
    settings.load();
    // The launcher runs whatever the script's path holds, as root.
    if (!writeMountScript(settings)) {
        status.setSystemBusy(false, true);
        showMessageBox(this, QMessageBox::Critical, tr("Error!"),
                       tr("Can not write %1").arg(QLatin1String(MountScriptPath)),
                       QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    restoreLocaleAndDirectory();
    QCoreApplication::exit(code);
}

bool MainWindow::writeMountScript(const CIFSSettings& settings)
{
    const QString format = mountCommandFormat();
    return writeScript(QLatin1String(MountScriptPath), mountScriptBody(settings, format));
}

void MainWindow::unmountZorUdu()
{
    sys::SysStatus& status = sys::SysStatus::instance();
    if (!status.sdioState())
        return;
    if (!mountPath.isEmpty()) {
        mountPath.clear();
        // A share the list (and so the working directory) is in is busy and
        // would stay mounted.
        if (belowMountRoot(QDir::currentPath()) || belowMountRoot(fsView()->dir.absolutePath()))
            showStartDirectory();
        setWindowTitle(tr("Unmounting..."));
        flushWindow(this);
        status.setSystemBusy(true, true);
        CIFSSettings settings;
        settings.load();
        for (const QString& name : shareNames(settings.dirList())) {
            const QString point = QLatin1String(ShareMountRoot) + QLatin1Char('/') + name;
            ::umount(QFile::encodeName(point).constData());
        }
    }
    status.stopWpaSupplicant();
    status.enableSdio(false);
    // Removing the root with a share still mounted below it would remove
    // the share's files.
    const QString table = runCommandSync(QLatin1String(MountCommand));
    if (!table.isEmpty() && shareMounts(table).isEmpty())
        QProcess::execute(QLatin1String(Shell),
                          { QStringLiteral("-c"), QLatin1String(RemoveMountRoot) });
    else
        qWarning("A share is still mounted below %s; it stays", ShareMountRoot);
    status.setSystemBusy(false, true);
    flushWindow(this);
}

void MainWindow::syncZorUdu()
{
    if (mountPath.isEmpty()) {
        prepareZorUdu(MountAndSyncCode);
        return;
    }
    CIFSSettings settings;
    settings.load();
    QString body, error;
    if (!syncScriptBody(settings, &body, &error)) {
        showMessageBox(this, QMessageBox::Critical, tr("Sync error!"), error,
                       QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    const QString title = windowTitle();
    setWindowTitle(tr("Synchronizing with ZorUdu..."));
    flushWindow(this);
    sys::SysStatus& status = sys::SysStatus::instance();
    status.setSystemBusy(true, true);
    // An old script left at the path must not run instead.
    if (!writeScript(QLatin1String(SyncScriptPath), body)) {
        setWindowTitle(title);
        status.setSystemBusy(false, true);
        showMessageBox(this, QMessageBox::Critical, tr("Sync error!"),
                       tr("Can not write %1").arg(QLatin1String(SyncScriptPath)),
                       QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QLatin1String(Shell), { QLatin1String(SyncScriptPath) });
    process.waitForFinished(SyncTimeoutMs);
    setWindowTitle(title);
    status.setSystemBusy(false, true);
    showOutputWindow(&process, tr("rsync output"));
}

void MainWindow::syncTime()
{
    if (!ensureNetwork())
        return;
    QProcess::startDetached(QLatin1String(Shell),
                            { QStringLiteral("-c"), QString::fromLatin1(SetClocks).arg(TimeServer) });
    fsView()->runProgram(QString::fromLatin1(ShowServerTime).arg(TimeServer));
}
