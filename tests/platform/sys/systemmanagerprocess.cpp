#include "systemmanagerprocess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QtGlobal>

namespace {
int logCounter = 0;
}

SystemManagerProcess::~SystemManagerProcess()
{
    stop();
}

QString SystemManagerProcess::binary(const QString& name)
{
    return QString::fromLocal8Bit(qgetenv("LIRRO_BUILD_DIR")) + QStringLiteral("/emulator/system-manager/")
           + name;
}

bool SystemManagerProcess::start(const QStringList& options)
{
    stop();
    m_logPath = QStringLiteral("/tmp/lirro_system_manager_%1_%2.log")
                    .arg(QCoreApplication::applicationPid())
                    .arg(++logCounter);
    QFile::remove(m_logPath);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardError);
    m_process.start(binary(QStringLiteral("system-manager")),
                    QStringList{QStringLiteral("--log"), m_logPath} + options);
    if (!m_process.waitForStarted(5000))
        return false;
    QByteArray err;
    QDeadlineTimer deadline(10000);
    while (!err.contains("ready\n")) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return false;
        err += m_process.readAllStandardError();
    }
    return true;
}

void SystemManagerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QList<QJsonObject> SystemManagerProcess::entries() const
{
    QList<QJsonObject> result;
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (!line.isEmpty())
            result.append(QJsonDocument::fromJson(line).object());
    }
    return result;
}

QList<QJsonObject> SystemManagerProcess::calls() const
{
    QList<QJsonObject> result;
    for (const QJsonObject& entry : entries()) {
        if (entry.contains(QStringLiteral("method")) && !entry.value(QStringLiteral("control")).toBool())
            result.append(entry);
    }
    return result;
}
