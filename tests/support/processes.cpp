#include "support/processes.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QtTest>

namespace {

const int StopTimeoutMs = 5000;

} // namespace

bool support::HelperProcess::start(const QString& program, const QStringList& arguments,
                                   const QByteArray& readyLine, int timeoutMs)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // waitForReadyRead() waits for the read channel only.
    process.setReadChannel(QProcess::StandardError);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return false;
    QByteArray said;
    QDeadlineTimer deadline(timeoutMs);
    while (!said.contains(readyLine + '\n')) {
        if (deadline.hasExpired() || !process.waitForReadyRead(int(deadline.remainingTime()))) {
            qWarning() << program << "did not get ready:" << said;
            return false;
        }
        said += process.readAllStandardError();
    }
    return true;
}

bool support::HelperProcess::startUntil(const QString& program, const QStringList& arguments,
                                        const std::function<bool()>& ready, int timeoutMs)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    // A program that ended is not waited for until the bound.
    return process.waitForStarted(timeoutMs)
           && QTest::qWaitFor([&] { return !isRunning() || ready(); }, timeoutMs) && isRunning();
}

void support::HelperProcess::stop()
{
    if (!isRunning())
        return;
    process.terminate();
    if (!process.waitForFinished(StopTimeoutMs)) {
        process.kill();
        process.waitForFinished(StopTimeoutMs);
    }
}

QByteArray support::outputOf(const QString& program, const QStringList& arguments, int* exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(StopTimeoutMs * 6)
                       && process.exitStatus() == QProcess::NormalExit;
    if (exitCode)
        *exitCode = ended ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

QList<QJsonObject> support::readJsonLines(const QString& path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines.append(QJsonDocument::fromJson(line).object());
    }
    return lines;
}

bool support::SystemManager::start(const QStringList& options)
{
    QFile::remove(logPath());
    return HelperProcess::start(buildProgram(QStringLiteral("emulator/system-manager/system-manager")),
                                QStringList{ QStringLiteral("--log"), logPath() } + options);
}

QList<QJsonObject> support::SystemManager::calls() const
{
    QList<QJsonObject> result;
    for (const QJsonObject& entry : readJsonLines(logPath())) {
        if (entry.contains(QStringLiteral("method"))
            && !entry.value(QStringLiteral("control")).toBool())
            result.append(entry);
    }
    return result;
}

bool support::SystemManager::control(const QStringList& arguments)
{
    return QProcess::execute(
               buildProgram(QStringLiteral("emulator/system-manager/system-manager-ctl")), arguments)
           == 0;
}

QStringList support::SystemManager::wifiOptions(const QString& wifiLog)
{
    const QString device = QStringLiteral(LIRRO_SOURCE_DIR "/emulator/wifi/wifi-device");
    return { QStringLiteral("--wpa-command"),
             device + QStringLiteral(" start \"$1\" ") + buildProgram(QString()) + ' ' + wifiLog,
             QStringLiteral("--wpa-stop-command"), device + QStringLiteral(" stop"),
             QStringLiteral("--address-command"), device + QStringLiteral(" address") };
}
