#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace support {

// A program of this build, by its path below the build directory.
inline QString buildProgram(const QString& relativePath)
{
#ifdef LIRRO_STAND_INS_BUILD
    // A cross build's program runs here through the script its build puts in
    // front of it; the stand-ins beside it are a build's for this machine.
    if (!relativePath.startsWith(QLatin1String("src/")))
        return QStringLiteral(LIRRO_STAND_INS_BUILD "/") + relativePath;
    return QStringLiteral(LIRRO_BUILD_DIR "/emulated/") + relativePath;
#endif
    return QStringLiteral(LIRRO_BUILD_DIR "/") + relativePath;
}

// Sets a variable of this process's environment; an empty value removes it.
inline void setEnv(const char* name, const QByteArray& value)
{
    value.isEmpty() ? void(qunsetenv(name)) : void(qputenv(name, value));
}

// One helper process for the length of a test: started, waited for until it
// is ready, ended (TERM, then KILL) with the object.
class HelperProcess
{
public:
    ~HelperProcess() { stop(); }

    // Ready once the program wrote readyLine on its standard error.
    bool start(const QString& program, const QStringList& arguments,
               const QByteArray& readyLine = "ready", int timeoutMs = 10000);
    // Ready once ready() holds.
    bool startUntil(const QString& program, const QStringList& arguments,
                    const std::function<bool()>& ready, int timeoutMs = 10000);
    void stop();
    bool isRunning() const { return process.state() != QProcess::NotRunning; }

    QProcess process;
};

// Runs a program to its end and returns its standard output; exitCode gets
// its exit status (-1 when it did not run or end normally).
QByteArray outputOf(const QString& program, const QStringList& arguments, int* exitCode = nullptr);

// Every line of a JSON-lines log, in order.
QList<QJsonObject> readJsonLines(const QString& path);

// The system manager stand-in on the sandbox's private bus, with a fresh
// call log.
class SystemManager : public HelperProcess
{
public:
    bool start(const QStringList& options = {});
    // The device method calls only (no control calls, no signals).
    QList<QJsonObject> calls() const;
    QString logPath() const { return dir.filePath(QStringLiteral("system-manager.log")); }
    // Runs system-manager-ctl; true when it succeeded.
    static bool control(const QStringList& arguments);
    // The emulated device's Wi-Fi adapter, as scripts/device-session gives
    // it: the wpa_supplicant stand-in (its requests and events logged to
    // wifiLog), started and stopped, and the adapter's address.
    static QStringList wifiOptions(const QString& wifiLog);

private:
    QTemporaryDir dir;
};

} // namespace support
