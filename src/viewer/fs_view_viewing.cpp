// The file list's view and edit commands.
#include "browser/fs_view.h"

#include "browser/fs_model.h"
#include "browser/messagebox.h"
#include "browser/panelrefresh.h"
#include "browser/screen_watcher.h"
#include "fileops/commandline.h"
#include "fileops/runcommandsync.h"
#include "platform/sys/sysstatus.h"
#include "viewer/highlighterkind.h"
#include "viewer/plain_text_view.h"
#include "viewer/textfile.h"

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QProcess>
#include <QScreen>

namespace {

const qint64 LargestViewable = 10485760;
const char* const ZipSuffix = ".zip";
const char* const UnzipProgram = "unzip";
const char* const ListOption = "-l";
const char* const HexdumpProgram = "hexdump";
const char* const HexdumpLength = "2097152";
const char* const EditorProgram = "text_editor";
const char* const EditSuffix = ".txt";

// The path commands are given: canonical, or as listed when it has gone.
QString pathOf(const QFileInfo& info)
{
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QStringList hexdumpCommand(const QString& path)
{
    return {QLatin1String(HexdumpProgram), QStringLiteral("-C"), QStringLiteral("-n"),
            QLatin1String(HexdumpLength), path};
}

} // namespace

void FS_VIEW::actionView()
{
    if (!currentIndex().isValid())
        return;
    const QFileInfo info = model->fileInfo(currentIndex());
    const QString name = info.fileName();
    const QString path = pathOf(info);

    if (name.endsWith(QLatin1String(ZipSuffix))) {
        runProgram(QStringList{QLatin1String(UnzipProgram), QLatin1String(ListOption),
                               unzipArchiveArgument(path)});
        return;
    }

    auto tooBig = [&](qint64 size) {
        return tr("File %1 is too big: %2 bytes").arg(name).arg(size);
    };
    QString error;
    if (info.isDir())
        error = tr("Can`t view directory");
    else if (info.size() > LargestViewable)
        error = tooBig(info.size());
    if (!error.isEmpty()) {
        showMessageBox(this, QMessageBox::Warning, tr("File viewer error!"), error,
                       QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }

    sys::SysStatus::instance().setSystemBusy(true, true);
    // What is read is checked again: the file may have changed since it was
    // listed, or something else may stand under its name now.
    TextFile file = TextFile::read(path, LargestViewable);
    if (file.status != TextFile::Read) {
        sys::SysStatus::instance().setSystemBusy(false, true);
        error = file.status == TextFile::TooBig ? tooBig(file.size)
                                                : tr("Can`t view %1: not a regular file").arg(name);
        showMessageBox(this, QMessageBox::Warning, tr("File viewer error!"), error,
                       QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    int kind = HL_BIN;
    if (!file.text.isEmpty())
        kind = TextFile::highlighterFor(name, file.text);
    else
        file.text = runCommandSync(hexdumpCommand(path));

    QDialog dialog(this);
    screenWatcher.watch(&dialog);
    auto* layout = new QGridLayout(&dialog);
    layout->addWidget(new PLAIN_TEXT_VIEW(&dialog, file.text, kind), 0, 0);
    // The document holds its own copy now.
    file.text = QString();
    dialog.setWindowTitle(name);
    dialog.setWindowFlags(dialog.windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // Maximized as the device's window system does it, also on an X server
    // whose window manager would not.
    if (const QScreen* screen = dialog.screen())
        dialog.setGeometry(screen->availableGeometry());
    dialog.setWindowState(Qt::WindowMaximized);

    sys::SysStatus::instance().setSystemBusy(false, true);
    dialog.exec();
    updateWholeScreen();
}

void FS_VIEW::actionEdit()
{
    if (!currentIndex().isValid())
        return;
    const QString path = pathOf(model->fileInfo(currentIndex()));
    if (model->isDir(currentIndex())) {
        showMessageBox(this, QMessageBox::Warning, tr("Can`t edit directory!"),
                       tr("\"%1\" is directory").arg(path), QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }

    QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);

    // The editor is given the file under a name ending in .txt. A file
    // already there under that name is never renamed over.
    const QString temp = path + QLatin1String(EditSuffix);
    const QFileInfo tempInfo(temp);
    if (tempInfo.exists() || tempInfo.isSymLink() || !QFile::rename(path, temp)) {
        showMessageBox(this, QMessageBox::Critical, tr("Can`t edit"),
                       tr("Can`t rename \"%1\"").arg(path), QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }

    const int status = QProcess::execute(QLatin1String(EditorProgram), QStringList{temp});

    // Whatever the editor did, the file goes back under its own name.
    if (!QFile::rename(temp, path)) {
        showMessageBox(this, QMessageBox::Critical, tr("Can`t edit"),
                       tr("Can`t rename \"%1\" back to \"%2\"; the file is still there")
                           .arg(temp, path),
                       QMessageBox::Ok | QMessageBox::Cancel);
    }
    if (status == -2) {
        showMessageBox(this, QMessageBox::Critical, tr("Exec error!"),
                       tr("Can not execute command line:\n%1")
                           .arg(QLatin1String(EditorProgram) + QLatin1Char(' ')
                                + quoteCommandArgument(temp)),
                       QMessageBox::Ok | QMessageBox::Cancel);
    }
}
