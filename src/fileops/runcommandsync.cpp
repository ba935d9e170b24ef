#include "fileops/runcommandsync.h"

#include <QProcess>

namespace {

const int WaitTimeoutMs = 30000;

} // namespace

QString runCommandSync(const QString& commandLine)
{
    return runCommandSync(QProcess::splitCommand(commandLine));
}

QString runCommandSync(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return QString();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(arguments.first(), arguments.mid(1), QIODevice::ReadWrite);
    process.waitForFinished(WaitTimeoutMs);
    // Destroying the process object ends a command that still runs.
    return QString::fromLocal8Bit(process.readAll());
}
