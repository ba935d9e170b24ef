// The file list's members that start programs and show their output, and
// what activating a file does.
#include "browser/fs_view.h"

#include "browser/fs_model.h"
#include "browser/messagebox.h"
#include "browser/panelrefresh.h"
#include "browser/screen_watcher.h"
#include "fileops/commandline.h"
#include "fileops/outputwindow.h"
#include "platform/sys/sysstatus.h"
#include "platform/ui/vexakeyboarddialog.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

#include <fcntl.h>

namespace {

// Activation: kernel files shown as text, archives extracted.
const char* const ProcRoot = "/proc/";
const char* const SysRoot = "/sys/";
const char* const KmsgPath = "/proc/kmsg";
const char* const ZipSuffix = ".zip";
const char* const UnzipProgram = "unzip";

const int StartTimeoutMs = 30000;
// A program that printed less than this has nothing worth a window.
const qint64 MinimumOutput = 2;
const char* const OutputCutProperty = "lirroOutputCut";

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
    // Only the newest output is kept, so a chatty program can't fill memory.
    connect(process, &QProcess::readyReadStandardOutput, process, [process] {
        const qint64 excess = process->bytesAvailable() - OutputLimit;
        if (excess > 0) {
            process->read(excess);
            process->setProperty(OutputCutProperty, true);
        }
    });
    runningProcesses.append(process);
    if (currentIndex().isValid())
        rememberedIndex = currentIndex();
    return true;
}

void FS_VIEW::progFinished()
{
    // A window now would open in the middle of an operation: after it.
    if (operation.running) {
        operation.outputWaiting = true;
        return;
    }
    const QList<QProcess*> processes = runningProcesses;
    runningProcesses.clear();
    for (QProcess* process : processes) {
        if (process->state() != QProcess::NotRunning) {
            runningProcesses.append(process);
            continue;
        }
        if (process->bytesAvailable() >= MinimumOutput) {
            const QString note = process->property(OutputCutProperty).toBool()
                                     ? tr("[only the last %1 bytes of the output were kept]").arg(OutputLimit)
                                     : QString();
            showOutputWindow(process, tr("Program output"), note);
        }
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
        // A key's own update is black and white only: the watcher's brings the greys.
        screenWatcher.watch(&dialog);
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

void FS_VIEW::activateFile(const QString& path)
{
    if (path.startsWith(QLatin1String(ProcRoot)) || path.startsWith(QLatin1String(SysRoot))) {
        showSystemFile(path);
        return;
    }
    if (path.endsWith(QLatin1String(ZipSuffix), Qt::CaseInsensitive)) {
        if (showMessageBox(this, QMessageBox::Question, tr(".zip file activated"),
                    tr("Extract files from ZIP archive?"),
                    QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes)
            extractArchive(path);
        return;
    }
    // The path goes to the program as it is, not as a command line to be
    // split again, so no character in it can change what runs.
    if (!runProgram(QStringList{ path })) {
        const bool blank = std::any_of(path.cbegin(), path.cend(),
                                       [](QChar c) { return c.isSpace(); });
        const QString shown = blank ? QLatin1Char('"') + path + QLatin1Char('"') : path;
        showMessageBox(this, QMessageBox::Information, tr("Info"),
                tr("Nothing to do with file %1").arg(shown),
                QMessageBox::Ok | QMessageBox::Cancel);
    }
}

void FS_VIEW::showSystemFile(const QString& path)
{
    if (path == QLatin1String(KmsgPath)) {
        // Reading the kernel's message buffer waits for new messages.
        showMessageBox(this, QMessageBox::Warning, tr("ProcFS reading"),
                tr("Some unknown troubles while reading 'kmsg'"),
                QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    // Without blocking, so that an entry that waits for data (a trace pipe)
    // shows what there is instead of hanging the list.
    QFile file;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    showOutputWindow(&file, tr("File contents"));
    file.close();
}

void FS_VIEW::extractArchive(const QString& path)
{
    // The archive's name up to its first dot; a name that begins with a dot
    // would give none, and the archive would spill into this directory.
    const QFileInfo archive(path);
    QString base = archive.baseName();
    if (base.isEmpty())
        base = archive.completeBaseName();
    if (base.isEmpty())
        base = archive.fileName();
    QString name = base;
    for (int counter = 0; QFileInfo(dir, name).exists() || QFileInfo(dir, name).isSymLink();
         ++counter)
        name = base + QLatin1Char('.') + QString::number(counter);

    // unzip -o overwrites: it must only ever write into a directory made
    // for it just now.
    if (!dir.mkdir(name)) {
        showMessageBox(this, QMessageBox::Critical, tr("Error!"),
                tr("Can not create directory %1").arg(name),
                QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    const QString target = dir.canonicalPath() + QLatin1Char('/') + name;

    // The search path, and never a file of that name in the shown directory.
    const QString unzip = QStandardPaths::findExecutable(QLatin1String(UnzipProgram));
    const QStringList command{ unzip,
                               QStringLiteral("-o"),
                               unzipArchiveArgument(path),
                               QStringLiteral("-d"),
                               target };
    sys::SysStatus::instance().setSystemBusy(true, true);
    const bool started = !unzip.isEmpty() && runProgram(command);
    QString shownTarget = target;
    setDirectory(shownTarget);
    sys::SysStatus::instance().setSystemBusy(false, true);
    if (!started) {
        QStringList words;
        for (const QString& word : command)
            words << quoteCommandArgument(word);
        showMessageBox(this, QMessageBox::Critical, tr("Exec error!"),
                tr("Can not execute command line:\n%1").arg(words.join(QLatin1Char(' '))),
                QMessageBox::Ok | QMessageBox::Cancel);
    }
}
