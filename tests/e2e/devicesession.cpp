#include "devicesession.h"
#include "support/sandbox.h"

#include "xwdframebuffer.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <QUdpSocket>
#include <functional>

namespace {
constexpr char kDisplay[] = ":7";
constexpr char kLogDir[] = "/tmp/lirro-e2e";
constexpr char kLauncher[] = "/opt/vexa/arm/bin/lirro.oar";
constexpr char kSdCardNode[] = "/dev/sdmmc";
constexpr char kStartDir[] = "/media/flash";
constexpr char kFramebufferFile[] = "Xvfb_screen0";
constexpr char kStatsRequest[] = "STATS?";
constexpr quint16 kScreenPort = 5678;
constexpr int kWidth = 600;
constexpr int kHeight = 800;
// The device's window system lays fonts out at 72 dpi.
constexpr int kFontDpi = 72;
constexpr int kStaleRechecks = 3;
constexpr int kStaleRecheckMs = 400;

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

void stopProcess(QProcess& p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

// The child of a process running program (the launcher runs lirro as its
// child, among short-lived helpers of its own).
qint64 childRunning(qint64 pid, const QString& program) {
    QFile f(QString("/proc/%1/task/%1/children").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QString wanted = QFileInfo(program).canonicalFilePath();
    for (const QByteArray& child : f.readAll().trimmed().split(' ')) {
        if (QFileInfo(QString("/proc/%1/exe").arg(QString::fromLatin1(child))).canonicalFilePath() == wanted)
            return child.toLongLong();
    }
    return 0;
}
}  // namespace

DeviceSession::DeviceSession() : dir_(kLogDir), fbdir_(QString(kLogDir) + "/fb"), display_(kDisplay) {}

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

bool DeviceSession::start(const Options& options) {
    if (!support::insideSandbox()) {
        error_ = "not inside the device sandbox";
        return false;
    }
    // Each session starts from empty logs and a fresh framebuffer.
    QDir(dir_).removeRecursively();
    QDir().mkpath(fbdir_);
    // The sandbox's /dev is our own: the card is there or not as asked.
    if (options.sdCard) {
        QFile node(kSdCardNode);
        if (!node.open(QIODevice::WriteOnly)) {
            error_ = "cannot create /dev/sdmmc";
            return false;
        }
    } else {
        QFile::remove(kSdCardNode);
    }

    const QString emu = buildDir() + "/emulator";
    if (!startHelper(systemManager_, emu + "/system-manager/system-manager",
                     {"--log", dir_ + "/system-manager.log"}))
        return false;
    if (!startHelper(screenService_, emu + "/screen-service/screen-service",
                     {"--log", dir_ + "/screen-service.log", "--fbdir", fbdir_, "--panel-png",
                      dir_ + "/panel.png", "--panel-raw", dir_ + "/panel.raw", "--stats",
                      dir_ + "/panel-stats.json", "--panel-size",
                      QString("%1x%2").arg(kWidth).arg(kHeight)}))
        return false;

    // No pointer sprite in the framebuffer: the device has none.
    xvfb_.setStandardErrorFile(dir_ + "/xvfb.log");
    xvfb_.start("Xvfb", {display_, "-screen", "0", QString("%1x%2x24").arg(kWidth).arg(kHeight), "-fbdir",
                         fbdir_, "-dpi", QString::number(kFontDpi), "-nocursor", "-nolisten", "tcp"});
    const QString socket = "/tmp/.X11-unix/X" + display_.mid(1);
    if (!waitFor([&] { return QFileInfo(socket).exists(); }, 10000)) {
        error_ = "Xvfb did not start";
        return false;
    }
    // The service picks the framebuffer file up at its next poll.
    if (!waitFor([&] { return stats().value("framebuffer").toBool(); }, 10000)) {
        error_ = "the screen service never saw the framebuffer";
        return false;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_FONT_DPI", QString::number(kFontDpi));
    lirro_.setProcessEnvironment(env);
    lirro_.setWorkingDirectory(kStartDir);
    lirro_.setStandardOutputFile(dir_ + "/lirro.out");
    lirro_.setStandardErrorFile(dir_ + "/lirro.err");
    const QString program = buildDir() + "/src/lirro";
    const bool viaLauncher = options.useLauncher && QFileInfo(kLauncher).isExecutable();
    if (viaLauncher)
        lirro_.start(kLauncher, QStringList{"--lirro", program, "--log", dir_ + "/launcher.log", "--"} +
                                    options.lirroArgs);
    else
        lirro_.start(program, options.lirroArgs);
    if (!lirro_.waitForStarted(5000)) {
        error_ = "lirro did not start";
        return false;
    }
    lirroPid_ = lirro_.processId();
    if (viaLauncher && !waitFor([&] { return (lirroPid_ = childRunning(lirro_.processId(), program)) > 0; }, 5000)) {
        error_ = "the launcher did not start lirro";
        return false;
    }
    QString out;
    if (!xdotool({"search", "--sync", "--onlyvisible", "--pid", QString::number(lirroPid_)}, &out)) {
        error_ = "lirro's window never appeared";
        return false;
    }
    windowId_ = out.split('\n', Qt::SkipEmptyParts).value(0);
    // No window manager here: give the window the keyboard focus ourselves.
    xdotool({"windowfocus", "--sync", windowId_});
    return true;
}

void DeviceSession::stop() {
    // The launcher passes the signal on to lirro and waits for it.
    for (QProcess* p : {&lirro_, &xvfb_, &screenService_, &systemManager_})
        stopProcess(*p);
    QFile::remove(kSdCardNode);
    // Logs and pictures for a person to look at, outside the sandbox's /tmp.
    const QString keep = qEnvironmentVariable("LIRRO_E2E_KEEP");
    if (!keep.isEmpty() && QFileInfo(dir_).isDir()) {
        const QString to = keep + "/" + QString::number(QDateTime::currentMSecsSinceEpoch());
        QDir().mkpath(to);
        for (const QFileInfo& f : QDir(dir_).entryInfoList(QDir::Files))
            QFile::copy(f.filePath(), to + "/" + f.fileName());
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

bool DeviceSession::type(const QString& text) { return xdotool({"type", "--delay", "40", "--", text}); }

bool DeviceSession::tap(int x, int y) {
    return xdotool({"mousemove", QString::number(x), QString::number(y), "click", "1"});
}

bool DeviceSession::doubleTap(int x, int y) {
    return xdotool({"mousemove", QString::number(x), QString::number(y), "click", "--repeat", "2", "--delay",
                    "80", "1"});
}

bool DeviceSession::longPress(int x, int y) {
    QProcess ctl;
    ctl.start(buildDir() + "/emulator/system-manager/system-manager-ctl",
              {"emit", "mouseLongPress", QString::number(x), QString::number(y), "0", "0"});
    return ctl.waitForFinished(10000) && ctl.exitStatus() == QProcess::NormalExit && ctl.exitCode() == 0;
}

QString DeviceSession::title() {
    QString out;
    if (windowId_.isEmpty() || !xdotool({"getwindowname", windowId_}, &out))
        return QString();
    return out.trimmed();
}

bool DeviceSession::waitForTitle(const QString& wanted, int timeoutMs) {
    return waitFor([&] { return title() == wanted; }, timeoutMs);
}

bool DeviceSession::waitForWindow(const QString& name, bool shown, int timeoutMs) {
    const QString pattern = "^" + QRegularExpression::escape(name) + "$";
    return waitFor([&] {
        QString out;
        xdotool({"search", "--onlyvisible", "--name", pattern}, &out);
        return out.trimmed().isEmpty() != shown;
    }, timeoutMs);
}

QJsonObject DeviceSession::stats() {
    QUdpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), kScreenPort);
    for (int attempt = 0; attempt < 3; ++attempt) {
        socket.write(kStatsRequest);
        if (!socket.waitForReadyRead(2000))
            continue;
        QByteArray reply(1 << 16, '\0');
        reply.resize(int(socket.readDatagram(reply.data(), reply.size())));
        return QJsonDocument::fromJson(reply).object();
    }
    return QJsonObject();
}

QJsonObject DeviceSession::waitPanelSettled(int quietMs, int timeoutMs) {
    QElapsedTimer total, quiet;
    total.start();
    quiet.start();
    QJsonObject now = stats();
    double commands = now.value("commands").toDouble();
    while (total.elapsed() < timeoutMs) {
        QThread::msleep(40);
        now = stats();
        if (now.isEmpty())
            return now;
        if (now.value("commands").toDouble() != commands) {
            commands = now.value("commands").toDouble();
            quiet.restart();
        }
        if (quiet.elapsed() >= quietMs && now.value("framebuffer_unchanged_ms").toDouble() >= quietMs)
            return now;
    }
    return QJsonObject();
}

qint64 DeviceSession::stalePixels() { return qint64(stats().value("stale_pixels").toDouble(-1)); }

qint64 DeviceSession::mostStalePixels(int durationMs) {
    QElapsedTimer t;
    t.start();
    qint64 most = 0;
    while (t.elapsed() < durationMs) {
        most = qMax(most, stalePixels());
        QThread::msleep(40);
    }
    return most;
}

qint64 DeviceSession::since(const QJsonObject& now, const QJsonObject& before, const QString& group,
                            const QString& key) {
    if (key.isEmpty())
        return qint64(now.value(group).toDouble() - before.value(group).toDouble());
    return qint64(now.value(group).toObject().value(key).toDouble() -
                  before.value(group).toObject().value(key).toDouble());
}

QImage DeviceSession::panelImage() {
    // The raw file is written after changes at a limited rate: wait for it
    // to hold what the service counts now.
    QThread::msleep(250);
    QFile f(dir_ + "/panel.raw");
    if (!f.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray bytes = f.readAll();
    if (bytes.size() != kWidth * kHeight)
        return QImage();
    QImage image(kWidth, kHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < kHeight; ++y)
        memcpy(image.scanLine(y), bytes.constData() + y * kWidth, kWidth);
    return image;
}

QImage DeviceSession::framebufferImage() {
    XwdFramebuffer fb;
    if (!fb.open(fbdir_ + "/" + kFramebufferFile))
        return QImage();
    const QSize size = fb.size();
    const QByteArray grey = fb.grey();
    QImage image(size, QImage::Format_Grayscale8);
    for (int y = 0; y < size.height(); ++y)
        memcpy(image.scanLine(y), grey.constData() + y * size.width(), size_t(size.width()));
    return image;
}

void DeviceSession::keepPictures(const QString& name) {
    panelImage().save(dir_ + "/" + name + "-panel.png");
    framebufferImage().save(dir_ + "/" + name + "-framebuffer.png");
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

QList<QJsonObject> DeviceSession::launcherLog() const { return readLog(dir_ + "/launcher.log"); }

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

QRect DeviceSession::lastOutline() const {
    const QList<QJsonObject> log = screenLog();
    for (int i = log.size() - 1; i >= 0; --i) {
        if (log[i].value("type").toString() != "DRAW_LINES")
            continue;
        QRect box;
        for (const QJsonValue& p : log[i].value("points").toArray()) {
            const QPoint point(p.toArray()[0].toInt(), p.toArray()[1].toInt());
            box = box.isNull() ? QRect(point, point) : box.united(QRect(point, point));
        }
        return box;
    }
    return QRect();
}

bool DeviceSession::panelMatches(const QString& step, QString* why) {
    QJsonObject figures = waitPanelSettled();
    // A loaded machine may take longer than the quiet time between painting
    // and sending: stale pixels count only when they stay while nothing is
    // sent for a good while longer.
    for (int i = 0; i < kStaleRechecks && !figures.isEmpty() && figures.value("stale_pixels").toDouble() > 0; ++i) {
        QThread::msleep(kStaleRecheckMs);
        figures = waitPanelSettled();
    }
    if (figures.isEmpty()) {
        *why = step + ": the panel never settled";
        return false;
    }
    const qint64 stale = qint64(figures.value("stale_pixels").toDouble());
    QString name = QString("%1-%2").arg(++steps_, 2, 10, QChar('0')).arg(step);
    name.replace(QRegularExpression("[^A-Za-z0-9]+"), "-");
    // With LIRRO_E2E_KEEP every step's panel is kept for a person to see.
    if (stale == 0 && !qEnvironmentVariableIsEmpty("LIRRO_E2E_KEEP"))
        panelImage().save(dir_ + "/" + name + "-panel.png");
    if (stale == 0)
        return true;
    keepPictures(name);
    *why = QString("%1: %2 stale pixels (outline %3, %4 commands, last %5); pictures in %6/%7-*.png")
               .arg(step)
               .arg(stale)
               .arg(figures.value("outline_pixels").toDouble())
               .arg(figures.value("commands").toDouble())
               .arg(QString::fromUtf8(QJsonDocument(figures.value("last").toObject()).toJson(QJsonDocument::Compact)))
               .arg(dir_, name);
    return false;
}

QList<QRect> DeviceSession::otherWindows() {
    QList<QRect> rects;
    QString out;
    xdotool({"search", "--onlyvisible", "--pid", QString::number(lirroPid_)}, &out);
    for (const QString& id : out.split('\n', Qt::SkipEmptyParts)) {
        if (id == windowId_)
            continue;
        QString geometry;
        if (!xdotool({"getwindowgeometry", "--shell", id}, &geometry))
            continue;
        QMap<QString, int> values;
        for (const QString& line : geometry.split('\n', Qt::SkipEmptyParts))
            values.insert(line.section('=', 0, 0), line.section('=', 1).toInt());
        rects << QRect(values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT"));
    }
    return rects;
}

bool DeviceSession::waitForOtherWindows(int count, int timeoutMs) {
    return waitFor([&] { return otherWindows().size() == count; }, timeoutMs);
}

QStringList DeviceSession::fileTree(const QString& root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        paths << base.relativeFilePath(info.filePath()) + (info.isDir() && !info.isSymLink() ? "/" : "");
    }
    paths.sort();
    return paths;
}
