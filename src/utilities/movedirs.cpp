#include "utilities/movedirs.h"

#include "browser/messagebox.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"
#include "utilities/devicescript.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>

namespace utilities {

namespace {

const char FlashFonts[] = "/media/flash/fonts";
const char SdFonts[] = "/media/sd/fonts";
const char FontDirVariable[] = "FONT_DIR";
const char FlashDicts[] = "/media/flash/dicts";
const char SdDicts[] = "/media/sd/dicts";
const char SystemDicts[] = "/usr/share/dicts/";
const char ScriptPath[] = "/tmp/lirro_run_tmp.sh";
const char Shell[] = "sh";

QString tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool inside(const QString& path, const QString& directory)
{
    return path == directory || path.startsWith(directory + QLatin1Char('/'));
}

} // namespace

void moveFonts(QWidget* window, const QString& savedLang)
{
    moveDirs(window, savedLang, QLatin1String(FlashFonts), QLatin1String(SdFonts),
             QString::fromLocal8Bit(qgetenv(FontDirVariable)));
}

void moveDicts(QWidget* window, const QString& savedLang)
{
    moveDirs(window, savedLang, QLatin1String(FlashDicts), QLatin1String(SdDicts),
             QLatin1String(SystemDicts));
}

QString moveDirsError(const QString& source1, const QString& source2,
                      const QString& destination)
{
    const QFileInfo first(source1);
    const QFileInfo second(source2);
    if (!first.isDir() && !second.isDir())
        return tr("Source directories %1 and %2 do not exist").arg(source1, source2);
    const QFileInfo target(destination);
    if (destination.isEmpty() || !target.isDir())
        return tr("Destination directory %1 does not exist").arg(destination);
    // Copying a directory into itself and then removing it loses it.
    const QString to = target.canonicalFilePath();
    for (const QFileInfo& source : { first, second }) {
        const QString from = source.canonicalFilePath();
        if (source.isDir() && (inside(to, from) || inside(from, to)))
            return tr("Can't move %1 into %2: one lies inside the other")
                .arg(source.filePath(), destination);
    }
    return QString();
}

QString moveScriptBody(const QStringList& sources, const QString& destination)
{
    // Everything, dot-files too, and the directory goes only once all of
    // it is copied and synced to the medium.
    QString body = QStringLiteral("failed=0\n");
    const QString to = shellQuoted(destination);
    for (const QString& source : sources) {
        const QString from = shellQuoted(source);
        body += QStringLiteral("if [ -d %1 ]; then\n"
                               "    cp -af -- %1/. %2 && sync && rm -rf -- %1 || failed=1\n"
                               "fi\n")
                    .arg(from, to);
    }
    return body + QStringLiteral("exit $failed");
}

void moveDirs(QWidget* window, const QString& savedLang, const QString& source1,
              const QString& source2, const QString& destination)
{
    const QString error = moveDirsError(source1, source2, destination);
    if (!error.isEmpty()) {
        showMessageBox(window, QMessageBox::Critical, tr("Error!"), error,
                       QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    const QString question =
        tr("All files in directories %1 and %2 will be moved to %3.\nDirectories will be "
           "deleted.\nSystem will be rebooted.\nAre you sure?")
            .arg(source1, source2, destination);
    if (showMessageBox(window, QMessageBox::Question, tr("Moving files/dirs"), question,
                       QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;

    flushWindow(window);
    sys::SysStatus& status = sys::SysStatus::instance();
    status.setSystemBusy(true, true);
    sys::SystemConfig::restoreLocale(savedLang);
    const QString script = QLatin1String(ScriptPath);
    const QString target = QFileInfo(destination).absoluteFilePath();
    QString failure;
    if (!writeScript(script, moveScriptBody({ source1, source2 }, target))) {
        failure = tr("Can't write %1").arg(script);
    } else {
        QProcess shell;
        shell.setProcessChannelMode(QProcess::MergedChannels);
        shell.start(QLatin1String(Shell), { script });
        // Dictionaries may take minutes; nothing is gone until copied.
        if (!shell.waitForFinished(-1) || shell.exitStatus() != QProcess::NormalExit
            || shell.exitCode() != 0)
            failure = tr("Not everything could be moved to %1; what was not copied whole is "
                         "still in its place.\n%2")
                          .arg(destination, QString::fromLocal8Bit(shell.readAll()).trimmed());
    }
    if (failure.isEmpty()) {
        if (!rebootDevice(window, savedLang))
            status.setSystemBusy(false, true);
        return;
    }
    sys::SystemConfig::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    status.setSystemBusy(false, true);
    showMessageBox(window, QMessageBox::Critical, tr("Error!"), failure,
                   QMessageBox::Ok | QMessageBox::Cancel);
}

} // namespace utilities
