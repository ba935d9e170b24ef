#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// One emulated device for an end-to-end test: the system manager and screen
// service stand-ins, an Xvfb screen and the real lirro, all inside the
// sandbox the test runs in. Logs are JSON lines read back by the test.
class DeviceSession {
public:
    DeviceSession();
    ~DeviceSession();

    bool start(const QStringList& lirroArgs = {});
    void stop();

    // xdotool on the session's screen; true when it exited 0.
    bool xdotool(const QStringList& args, QString* output = nullptr);
    bool key(const QString& name);
    QString windowTitle();
    bool waitForTitle(const QString& title, int timeoutMs = 10000);

    QList<QJsonObject> screenLog() const;
    QList<QJsonObject> systemLog() const;
    // Waits until the screen log has not grown for quietMs; returns its length.
    int waitScreenSettled(int quietMs = 600, int timeoutMs = 10000);

    QProcess& lirro() { return lirro_; }
    QString lastError() const { return error_; }

private:
    bool startHelper(QProcess& proc, const QString& program, const QStringList& args);
    static QList<QJsonObject> readLog(const QString& path);

    QString dir_;
    QString display_;
    QString windowId_;
    QString error_;
    QProcess systemManager_;
    QProcess screenService_;
    QProcess xvfb_;
    QProcess lirro_;
};
