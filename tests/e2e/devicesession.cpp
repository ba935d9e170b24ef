#include "devicesession.h"

#include <QDir>
#include <functional>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QThread>

namespace {
constexpr char kDisplay[] = ":7";
constexpr char kLogDir[] = "/tmp/lirro-e2e";
constexpr int kWidth = 600;
constexpr int kHeight = 800;
// The device's window system lays fonts out at 72 dpi.
constexpr int kFontDpi = 72;

QString buildDir() { return qEnvironmentVariable("LIRRO_BUILD_DIR"); }

bool waitFor(const std::function<bool()>& cond, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(25);
    }
    return true;
}
}  // namespace

DeviceSession::DeviceSession() : dir_(kLogDir), display_(kDisplay) {}

DeviceSession::~DeviceSession() { stop(); }

bool DeviceSession::startHelper(QProcess& proc, const QString& program, const QStringList& args) {
    proc.setProcessChannelMode(QProcess::SeparateChannels);
    proc.start(program, args);
    if (!proc.waitForStarted(5000)) {
        error_ = program + " did not start";
        return false;
    }
    QByteArray err;
    const bool ready = waitFor([&] {
        proc.waitForReadyRead(20);
        err += proc.readAllStandardError();
        return err.contains("ready") || proc.state() == QProcess::NotRunning;
    }, 10000);
    if (!ready || !err.contains("ready")) {
        error_ = program + " never became ready: " + QString::fromUtf8(err);
        return false;
    }
    return true;
}

bool DeviceSession::start(const QStringList& lirroArgs) {
    if (qgetenv("LIRRO_SANDBOX") != "1") {
        error_ = "not inside the device sandbox";
        return false;
    }
    QDir().mkpath(dir_);
    const QString emu = buildDir() + "/emulator";
    if (!startHelper(systemManager_, emu + "/system-manager/system-manager",
                     {"--log", dir_ + "/system-manager.log"}))
        return false;
    if (!startHelper(screenService_, emu + "/screen-service/screen-service",
                     {"--log", dir_ + "/screen-service.log"}))
        return false;

    xvfb_.start("Xvfb", {display_, "-screen", "0", QString("%1x%2x24").arg(kWidth).arg(kHeight),
                         "-nolisten", "tcp"});
    const QString socket = "/tmp/.X11-unix/X" + display_.mid(1);
    if (!waitFor([&] { return QFileInfo(socket).exists(); }, 10000)) {
        error_ = "Xvfb did not start";
        return false;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_FONT_DPI", QString::number(kFontDpi));
    lirro_.setProcessEnvironment(env);
    lirro_.setWorkingDirectory("/media/flash");
    lirro_.setStandardOutputFile(dir_ + "/lirro.out");
    lirro_.setStandardErrorFile(dir_ + "/lirro.err");
    lirro_.start(buildDir() + "/src/lirro", lirroArgs);
    if (!lirro_.waitForStarted(5000)) {
        error_ = "lirro did not start";
        return false;
    }
    QString out;
    if (!xdotool({"search", "--sync", "--onlyvisible", "--pid", QString::number(lirro_.processId())}, &out)) {
        error_ = "lirro's window never appeared";
        return false;
    }
    windowId_ = out.split('\n', Qt::SkipEmptyParts).value(0);
    // No window manager here: give the window the keyboard focus ourselves.
    xdotool({"windowfocus", "--sync", windowId_});
    return true;
}

void DeviceSession::stop() {
    for (QProcess* p : {&lirro_, &xvfb_, &screenService_, &systemManager_}) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
}

bool DeviceSession::xdotool(const QStringList& args, QString* output) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    p.setProcessEnvironment(env);
    p.start("xdotool", args);
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool DeviceSession::key(const QString& name) { return xdotool({"key", "--delay", "60", name}); }

QString DeviceSession::windowTitle() {
    QString out;
    if (windowId_.isEmpty() || !xdotool({"getwindowname", windowId_}, &out))
        return QString();
    return out.trimmed();
}

bool DeviceSession::waitForTitle(const QString& title, int timeoutMs) {
    return waitFor([&] { return windowTitle() == title; }, timeoutMs);
}

QList<QJsonObject> DeviceSession::readLog(const QString& path) {
    QList<QJsonObject> lines;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

QList<QJsonObject> DeviceSession::screenLog() const { return readLog(dir_ + "/screen-service.log"); }

QList<QJsonObject> DeviceSession::systemLog() const { return readLog(dir_ + "/system-manager.log"); }

int DeviceSession::waitScreenSettled(int quietMs, int timeoutMs) {
    QElapsedTimer total, quiet;
    total.start();
    quiet.start();
    int count = screenLog().size();
    while (quiet.elapsed() < quietMs && total.elapsed() < timeoutMs) {
        QThread::msleep(50);
        const int now = screenLog().size();
        if (now != count) {
            count = now;
            quiet.restart();
        }
    }
    return count;
}
