// E-ink benchmark: a scripted session of the real program on the emulated
// device (Xvfb with its framebuffer exported, the screen service with the
// panel emulator, the system manager stand-in), printing per key what the
// panel received: commands by waveform, flashes, the time from the key to
// the last command (the panel settled), the pixels updated and the stale
// pixels left. Runs inside the device sandbox with a private bus.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QUdpSocket>

#include <cstdio>

namespace {

constexpr quint16 kScreenPort = 5678;
constexpr const char* kDisplay = ":1";
constexpr const char* kXSocket = "/tmp/.X11-unix/X1";
constexpr const char* kStartDir = "/media/flash";
constexpr int kPanelWidth = 600;
constexpr int kPanelHeight = 800;
// Quiet this long after the last command (more than the program's 200 ms
// refresh tick) and the framebuffer still: the panel has settled.
constexpr int kQuietMs = 800;
constexpr int kStillMs = 300;
constexpr int kStepTimeoutMs = 20000;
constexpr int kPollMs = 20;

// The scripted session: what the owner does, key by key (xdotool names).
struct Step {
    const char* key;
    const char* what;
};

QVector<Step> session(int toMany)
{
    QVector<Step> steps;
    // Into the folder of 300 files, where 20 steps down stay on the page.
    for (int i = 0; i < toMany; ++i)
        steps.append(Step{"Down", "setup: cursor to many/"});
    steps.append(Step{"Return", "setup: enter many/"});
    for (int i = 0; i < 20; ++i)
        steps.append(Step{"Down", "cursor step"});
    steps.append(Step{"Next", "page down"});
    steps.append(Step{"Next", "page down"});
    steps.append(Step{"Menu", "menu open"});
    steps.append(Step{"Escape", "menu close"});
    steps.append(Step{"Escape", "leave many/"});
    steps.append(Step{"Return", "enter folder"});
    steps.append(Step{"Escape", "leave folder"});
    return steps;
}

class Service
{
public:
    Service() { socket.connectToHost(QHostAddress(QHostAddress::LocalHost), kScreenPort); }

    // The screen service's figures; clockOffset: service ms minus our ms.
    QJsonObject stats(QElapsedTimer& clock, double* clockOffset = nullptr)
    {
        while (socket.hasPendingDatagrams())
            socket.readDatagram(nullptr, 0);
        const double sent = clock.nsecsElapsed() / 1e6;
        socket.write("STATS?");
        if (!socket.waitForReadyRead(3000))
            return QJsonObject();
        const double received = clock.nsecsElapsed() / 1e6;
        QByteArray reply(1 << 16, '\0');
        reply.resize(int(socket.readDatagram(reply.data(), reply.size())));
        const QJsonObject o = QJsonDocument::fromJson(reply).object();
        if (clockOffset)
            *clockOffset = o.value("ms").toDouble() - (sent + received) / 2;
        return o;
    }

private:
    QUdpSocket socket;
};

bool waitForReady(QProcess& p, const char* name)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        while (p.canReadLine())
            if (p.readLine().trimmed() == "ready")
                return true;
        if (p.state() == QProcess::NotRunning)
            break;
        p.waitForReadyRead(100);
    }
    std::fprintf(stderr, "bench-eink: %s did not start\n", name);
    return false;
}

int count(const QJsonObject& o, const char* group, const char* key)
{
    return o.value(group).toObject().value(key).toInt();
}

struct Measure {
    int commands = 0, lines = 0, gu = 0, gc = 0, dw = 0, other = 0, flashes = 0;
    double settleMs = -1;
    qint64 pixels = 0, stale = 0, outline = 0;
};

// Waits until the panel settles after a key sent at keyMs (our clock); with
// firstCommand, not before a command came (the program's first picture).
Measure settle(Service& service, QElapsedTimer& clock, const QJsonObject& before, double keyMs,
               bool firstCommand = false)
{
    Measure m;
    QJsonObject now = before;
    double offset = 0;
    double lastCommandMs = -1; // our clock
    int seenCommands = before.value("commands").toInt();
    const double start = clock.elapsed();
    for (;;) {
        QThread::msleep(kPollMs);
        now = service.stats(clock, &offset);
        if (now.isEmpty())
            break;
        const int commands = now.value("commands").toInt();
        if (commands != seenCommands) {
            seenCommands = commands;
            lastCommandMs = now.value("last").toObject().value("ms").toDouble() - offset;
        }
        const double ours = clock.nsecsElapsed() / 1e6;
        const double quietSince = qMax(keyMs, lastCommandMs);
        if ((!firstCommand || lastCommandMs >= 0) && ours - quietSince >= kQuietMs && now.value("framebuffer_unchanged_ms").toInt() >= kStillMs)
            break;
        if (clock.elapsed() - start > kStepTimeoutMs) {
            std::fprintf(stderr, "bench-eink: the panel did not settle within %d ms\n", kStepTimeoutMs);
            break;
        }
    }
    m.commands = now.value("commands").toInt() - before.value("commands").toInt();
    m.lines = count(now, "by_type", "DRAW_LINES") - count(before, "by_type", "DRAW_LINES")
        + count(now, "by_type", "DRAW_LINE") - count(before, "by_type", "DRAW_LINE");
    m.gu = count(now, "by_waveform", "GU") - count(before, "by_waveform", "GU");
    m.gc = count(now, "by_waveform", "GC") - count(before, "by_waveform", "GC");
    m.dw = count(now, "by_waveform", "DW") - count(before, "by_waveform", "DW");
    m.other = m.commands - m.lines - m.gu - m.gc - m.dw;
    m.flashes = now.value("flashes").toInt() - before.value("flashes").toInt();
    m.pixels = qint64(now.value("pixels_updated").toDouble() - before.value("pixels_updated").toDouble());
    m.stale = qint64(now.value("stale_pixels").toDouble());
    m.outline = qint64(now.value("outline_pixels").toDouble());
    if (lastCommandMs >= 0)
        m.settleMs = lastCommandMs - keyMs;
    return m;
}

bool sendKey(const char* key)
{
    QProcess xdotool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", kDisplay);
    xdotool.setProcessEnvironment(env);
    xdotool.start("xdotool", {"key", "--delay", "0", key});
    return xdotool.waitForFinished(5000) && xdotool.exitCode() == 0;
}

void stop(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(1000);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("E-ink benchmark: a scripted lirro session on the emulated panel.");
    parser.addHelpOption();
    const QCommandLineOption buildOption("build", "The build directory.", "DIR");
    const QCommandLineOption outOption("out", "Keep logs and the final panel picture in DIR.", "DIR");
    const QCommandLineOption toManyOption("rows-to-many", "Cursor steps from the first row to many/.", "N", "4");
    parser.addOptions({buildOption, outOption, toManyOption});
    parser.process(app);
    // Only inside the device sandbox, by its own check.
    if (QProcess::execute(QStringLiteral(LIRRO_SOURCE_DIR "/scripts/sandbox"), { QStringLiteral("--inside") }) != 0) {
        std::fprintf(stderr, "bench-eink: run it inside scripts/sandbox --dbus\n");
        return 2;
    }
    const QString build = parser.value(buildOption);
    const QString out = parser.isSet(outOption) ? parser.value(outOption) : QStringLiteral("/tmp/bench-eink");
    const QString fbdir = QStringLiteral("/tmp/bench-eink-fb");
    QDir().mkpath(out);
    QDir().mkpath(fbdir);
    // The services append to their logs; each run starts its own.
    for (const char* name : {"screen-service.log", "system-manager.log", "lirro.log", "stats.json"})
        QFile::remove(out + "/" + name);

    QProcess systemManager, screen, xvfb, lirro;
    // Whatever happens, nothing started here outlives the benchmark.
    struct Stopper {
        QList<QProcess*> processes;
        ~Stopper()
        {
            for (QProcess* p : processes)
                stop(*p);
        }
    } stopper{{&lirro, &xvfb, &screen, &systemManager}};
    systemManager.setReadChannel(QProcess::StandardError);
    systemManager.start(build + "/emulator/system-manager/system-manager", {"--log", out + "/system-manager.log"});
    screen.setReadChannel(QProcess::StandardError);
    screen.start(build + "/emulator/screen-service/screen-service",
                 {"--log", out + "/screen-service.log", "--fbdir", fbdir, "--panel-png", out + "/panel.png",
                  "--stats", out + "/stats.json"});
    if (!waitForReady(systemManager, "system-manager") || !waitForReady(screen, "screen-service"))
        return 1;
    // The device's window system lays fonts out at 72 dpi; no pointer sprite
    // in the framebuffer (the device has none).
    xvfb.setStandardErrorFile(out + "/xvfb.log");
    xvfb.start("Xvfb", {kDisplay, "-screen", "0", QStringLiteral("%1x%2x24").arg(kPanelWidth).arg(kPanelHeight),
                        "-fbdir", fbdir, "-dpi", "72", "-nocursor", "-nolisten", "tcp"});
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(kXSocket) && wait.elapsed() < 10000)
        QThread::msleep(20);
    if (!QFile::exists(kXSocket)) {
        std::fprintf(stderr, "bench-eink: Xvfb did not start\n");
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    Service service;
    // The service finds the framebuffer file at its next poll.
    QJsonObject before = service.stats(clock);
    while (!before.value("framebuffer").toBool() && wait.elapsed() < 10000) {
        QThread::msleep(50);
        before = service.stats(clock);
    }
    if (!before.value("framebuffer").toBool()) {
        std::fprintf(stderr, "bench-eink: the screen service has no framebuffer\n");
        return 1;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", kDisplay);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_FONT_DPI", "72");
    lirro.setProcessEnvironment(env);
    lirro.setWorkingDirectory(kStartDir);
    lirro.setStandardOutputFile(out + "/lirro.log");
    lirro.setStandardErrorFile(out + "/lirro.log", QIODevice::Append);
    const double startMs = clock.nsecsElapsed() / 1e6;
    lirro.start(build + "/src/lirro", QStringList());
    if (!lirro.waitForStarted(5000))
        return 1;
    // The program's working directory follows the directory it shows.
    const QString cwd = QStringLiteral("/proc/%1/cwd").arg(lirro.processId());
    const Measure started = settle(service, clock, before, startMs, true);
    std::printf("start: %d commands (%d GU, %d GC), %d flashes, panel settled %.0f ms after start, "
                "%lld stale pixels\n\n",
                started.commands, started.gu, started.gc, started.flashes, started.settleMs,
                static_cast<long long>(started.stale));

    std::printf("%-3s %-7s %-22s %4s %5s %3s %3s %3s %5s %6s %9s %9s %7s\n", "#", "key", "step", "cmds", "lines",
                "GU", "GC", "DW", "flash", "ms", "px upd", "stale", "outline");
    Measure total;
    Measure cursor;
    int cursorSteps = 0;
    double cursorWorst = 0;
    qint64 cursorStaleWorst = 0;
    qint64 cursorOutlineMost = 0;
    int n = 0;
    for (const Step& step : session(parser.value(toManyOption).toInt())) {
        if (lirro.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "bench-eink: lirro ended early (status %d)\n", lirro.exitCode());
            break;
        }
        before = service.stats(clock);
        if (!sendKey(step.key)) {
            std::fprintf(stderr, "bench-eink: xdotool failed\n");
            break;
        }
        // The key is with the X server once xdotool is done.
        const double keyMs = clock.nsecsElapsed() / 1e6;
        const Measure m = settle(service, clock, before, keyMs);
        ++n;
        // The settled panel of each step, for a person to look at.
        QFile::remove(QStringLiteral("%1/step-%2.png").arg(out).arg(n, 2, 10, QLatin1Char('0')));
        QFile::copy(out + "/panel.png", QStringLiteral("%1/step-%2.png").arg(out).arg(n, 2, 10, QLatin1Char('0')));
        char ms[16] = "-";
        if (m.settleMs >= 0)
            std::snprintf(ms, sizeof ms, "%.0f", m.settleMs);
        if (qstrcmp(step.what, "setup: enter many/") == 0 && !QFileInfo(cwd).canonicalFilePath().endsWith("/many")) {
            std::fprintf(stderr, "bench-eink: setup did not reach many/ (lirro is in %s); try --rows-to-many\n",
                         qPrintable(QFileInfo(cwd).canonicalFilePath()));
            return 1;
        }
        std::printf("%-3d %-7s %-22s %4d %5d %3d %3d %3d %5d %6s %9lld %9lld %7lld\n", n, step.key, step.what,
                    m.commands, m.lines, m.gu, m.gc, m.dw, m.flashes, ms, static_cast<long long>(m.pixels),
                    static_cast<long long>(m.stale), static_cast<long long>(m.outline));
        std::fflush(stdout);
        Measure* sums[] = {&total, qstrcmp(step.what, "cursor step") == 0 ? &cursor : nullptr};
        for (Measure* s : sums) {
            if (!s)
                continue;
            s->commands += m.commands;
            s->lines += m.lines;
            s->gu += m.gu;
            s->gc += m.gc;
            s->dw += m.dw;
            s->flashes += m.flashes;
            s->pixels += m.pixels;
            s->stale += m.stale > 0 ? 1 : 0; // steps that left stale pixels
            s->settleMs = qMax(s->settleMs, m.settleMs);
        }
        if (qstrcmp(step.what, "cursor step") == 0) {
            ++cursorSteps;
            cursorWorst = qMax(cursorWorst, m.settleMs);
            cursorStaleWorst = qMax(cursorStaleWorst, m.stale);
            cursorOutlineMost = qMax(cursorOutlineMost, m.outline);
        }
    }

    std::printf("\ntotal (%d keys): %d commands, %d outlines, %d GU, %d GC, %d DW, %d flashes, %lld pixels updated, "
                "slowest settle %.0f ms, %lld keys left stale pixels\n",
                n, total.commands, total.lines, total.gu, total.gc, total.dw, total.flashes,
                static_cast<long long>(total.pixels), total.settleMs, static_cast<long long>(total.stale));
    if (cursorSteps > 0) {
        std::printf("cursor steps (%d): %.1f outlines and %.1f GU per step, %d GC, %d flashes, "
                    "%lld pixels updated per step, slowest settle %.0f ms, most stale pixels %lld, "
                    "outline pixels left on the panel at most %lld "
                    "(target: 1 outline + 1 GU, no flash, <= 250 ms, 0 stale)\n",
                    cursorSteps, double(cursor.lines) / cursorSteps, double(cursor.gu) / cursorSteps, cursor.gc,
                    cursor.flashes, static_cast<long long>(cursor.pixels / cursorSteps), cursorWorst,
                    static_cast<long long>(cursorStaleWorst), static_cast<long long>(cursorOutlineMost));
    }
    std::printf("logs and the settled panel of each step (step-NN.png): %s\n", qPrintable(out));

    return 0;
}
