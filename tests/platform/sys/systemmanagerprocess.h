#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the system manager stand-in for one test and reads its call log.
class SystemManagerProcess
{
public:
    ~SystemManagerProcess();

    static QString binary(const QString& name);

    // Starts it with a fresh log and waits until it owns its bus name.
    bool start(const QStringList& options = {});
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    // Every logged entry, in order.
    QList<QJsonObject> entries() const;
    // The device method calls only (no control calls, no signals).
    QList<QJsonObject> calls() const;

private:
    QProcess m_process;
    QString m_logPath;
};
