// The file list's members that start programs and show their output.
#include "browser/fs_view.h"

#include "browser/fs_model.h"
#include "browser/messagebox.h"
#include "fileops/commandline.h"
#include "fileops/outputwindow.h"
#include "browser/panelrefresh.h"
#include "platform/ui/vexakeyboarddialog.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QProcess>
#include <QStandardPaths>

namespace {

const int StartTimeoutMs = 30000;
// A program that printed less than this has nothing worth a window.
const qint64 MinimumOutput = 2;

const int SignatureLength = 9;
const char* const ScriptSignature = "#!/bin/sh";
const char* const ElfMagic = "\x7f" "ELF";

enum class Signature { Startable, Refused, Unchecked };

// Only shell scripts and ELF programs are started when the command names
// a file that can be read; what can't be opened goes on unchecked (a
// command on the search path, or a file only the system may read).
Signature checkSignature(const QString& path)
{
    // Opening a pipe or a terminal to read from it would hang the list.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return Signature::Refused;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Signature::Unchecked;
    const QByteArray head = file.read(SignatureLength);
    if (head.size() == SignatureLength
        && (head == ScriptSignature || head.startsWith(ElfMagic)))
        return Signature::Startable;
    return Signature::Refused;
}

} // namespace

bool FS_VIEW::runProgram(const QString& commandLine)
{
    // The file checked is the first word as the start splits the line.
    return runProgram(QProcess::splitCommand(commandLine));
}

bool FS_VIEW::runProgram(const QStringList& arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return false;
    const QString named = arguments.first();
    const QStringList rest = arguments.mid(1);

    // A bare name is a command on the search path, as QProcess would find
    // it; a file of that name in the shown directory is neither checked nor
    // run then (a stray "unzip" script in a folder must not stand in for
    // the real one). Otherwise the file checked is the file started.
    QString program = named;
    bool searchPath = false;
    if (!named.contains(QLatin1Char('/'))) {
        const QString onPath = QStandardPaths::findExecutable(named);
        searchPath = !onPath.isEmpty();
        program = searchPath ? onPath : QLatin1String("./") + named;
    }
    if (!searchPath && checkSignature(program) == Signature::Refused)
        return false;

    auto* process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(program, rest, QIODevice::ReadOnly);
    if (!process->waitForStarted(StartTimeoutMs)) {
        // Again in the shown directory, should the working directory have
        // moved away from it. The path goes as one argument, so any
        // character in it is fine; the file there is checked the same way.
        const QString inDirectory = dir.path() + QLatin1Char('/') + named;
        if (searchPath || checkSignature(inDirectory) == Signature::Refused) {
            delete process;
            return false;
        }
        process->start(inDirectory, rest, QIODevice::ReadOnly);
        if (!process->waitForStarted(StartTimeoutMs)) {
            delete process;
            return false;
        }
    }
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            &FS_VIEW::progFinished);
    runningProcesses.append(process);
    if (currentIndex().isValid())
        rememberedIndex = currentIndex();
    return true;
}

void FS_VIEW::progFinished()
{
    const QList<QProcess*> processes = runningProcesses;
    runningProcesses.clear();
    for (QProcess* process : processes) {
        if (process->state() != QProcess::NotRunning) {
            runningProcesses.append(process);
            continue;
        }
        if (process->bytesAvailable() >= MinimumOutput)
            showOutputWindow(process, tr("Program output"));
        // This runs inside the finished signal of one of these processes,
        // which goes on using its object after the slot returns.
        process->deleteLater();
    }
}

void FS_VIEW::actionRun()
{
    QString initial;
    if (selectionModel() != nullptr && selectionModel()->hasSelection()
        && currentIndex().isValid()) {
        // A bare name would mean a command of that name on the search path.
        QString name = model->fileInfo(currentIndex()).fileName();
        if (!QStandardPaths::findExecutable(name).isEmpty())
            name.prepend(QLatin1String("./"));
        initial = quoteCommandArgument(name) + QLatin1Char(' ');
    }

    QString command;
    {
        ui::VexaKeyboardDialog dialog(this, tr("Program command line"));
        command = dialog.popup(initial);
    }
    updateWholeScreen();
    if (command.trimmed().isEmpty())
        return;
    if (!runProgram(command)) {
        showMessageBox(this, QMessageBox::Critical, tr("Exec error!"),
                       tr("Can not execute command line:\n%1").arg(command),
                       QMessageBox::Ok | QMessageBox::Cancel);
    }
}
