// E-ink benchmark: a scripted session of the real program on the emulated
// device, started by scripts/device-session as scripts/run-device starts it.
// Prints per key what the panel received: commands by waveform, flashes,
// the time from the key to the last command (the panel settled), the pixels
// updated, the stale pixels left, and the cursor's outline as the owner sees
// it: its pixels shown on the panel against those drawn, and what is left
// of the one before. Runs inside the device sandbox with a private bus.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QUdpSocket>

#include <cstdio>

namespace {

const quint16 ScreenPort = 5678;
const char* const Display = ":1"; // scripts/device-session's screen
// Quiet this long after the last command (more than the program's 200 ms
// refresh tick) and the framebuffer still: the panel has settled.
const int QuietMs = 800;
const int StillMs = 300;
const int StepTimeoutMs = 20000;
const int PollMs = 20;
const char* const CursorStep = "cursor step";

struct Step
{
    const char* key;
    const char* what;
};

// What the owner does, key by key (xdotool names): into the folder of 300
// files (the fifth of seven rows, two above the last), 20 steps down there.
QVector<Step> session()
{
    QVector<Step> steps{ { "Down", "setup: select a row" }, { "End", "setup: last row" },
                         { "Up", "setup: cursor to many/" }, { "Up", "setup: cursor to many/" },
                         { "Return", "setup: enter many/" } };
    for (int i = 0; i < 20; ++i)
        steps.append(Step{ "Down", CursorStep });
    steps += QVector<Step>{ { "Next", "page down" }, { "Next", "page down" }, { "Menu", "menu open" }, { "Escape", "menu close" },
               { "Escape", "leave many/" }, { "Return", "enter folder" }, { "Escape", "leave folder" } };
    return steps;
}

// The screen service's figures; clockOffset: service ms minus our ms.
QJsonObject stats(QUdpSocket& socket, QElapsedTimer& clock, double* clockOffset = nullptr)
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

qint64 figure(const QJsonObject& o, const char* group, const char* key = nullptr)
{
    return qint64(key ? o.value(group).toObject().value(key).toDouble() : o.value(group).toDouble());
}

struct Measure
{
    qint64 commands = 0, lines = 0, gu = 0, gc = 0, dw = 0, flashes = 0, pixels = 0;
    qint64 stale = 0, outlineShown = 0, outlineDrawn = 0, earlierOutline = 0;
    double settleMs = -1;
};

// Waits until the panel settles after a key sent at keyMs (our clock); with
// firstCommand, not before a command came (the program's first picture).
Measure settle(QUdpSocket& socket, QElapsedTimer& clock, const QJsonObject& before, double keyMs,
               bool firstCommand = false)
{
    QJsonObject now = before;
    double offset = 0;
    double lastCommandMs = -1; // our clock
    qint64 seen = figure(before, "commands");
    const double start = clock.elapsed();
    for (;;) {
        QThread::msleep(PollMs);
        now = stats(socket, clock, &offset);
        if (now.isEmpty())
            break;
        if (figure(now, "commands") != seen) {
            seen = figure(now, "commands");
            lastCommandMs = now.value("last").toObject().value("ms").toDouble() - offset;
        }
        const double quietSince = qMax(keyMs, lastCommandMs);
        if ((!firstCommand || lastCommandMs >= 0) && clock.nsecsElapsed() / 1e6 - quietSince >= QuietMs
            && figure(now, "framebuffer_unchanged_ms") >= StillMs)
            break;
        if (clock.elapsed() - start > StepTimeoutMs) {
            std::fprintf(stderr, "bench-eink: the panel did not settle within %d ms\n", StepTimeoutMs);
            break;
        }
    }
    const auto growth = [&](const char* group, const char* key = nullptr) {
        return figure(now, group, key) - figure(before, group, key);
    };
    Measure m;
    m.commands = growth("commands");
    m.lines = growth("by_type", "DRAW_LINES") + growth("by_type", "DRAW_LINE");
    m.gu = growth("by_waveform", "GU");
    m.gc = growth("by_waveform", "GC");
    m.dw = growth("by_waveform", "DW");
    m.flashes = growth("flashes");
    m.pixels = growth("pixels_updated");
    m.stale = figure(now, "stale_pixels");
    m.outlineShown = figure(now, "outline_pixels");
    m.outlineDrawn = figure(now, "outline_drawn_pixels");
    m.earlierOutline = figure(now, "earlier_outline_pixels");
    if (lastCommandMs >= 0)
        m.settleMs = lastCommandMs - keyMs;
    return m;
}

bool sendKey(const char* key)
{
    return QProcess::execute("env", { QStringLiteral("DISPLAY=") + Display, "xdotool", "key", "--delay", "0", key }) == 0;
}

// lirro's process, the launcher's child: the one running the build's binary.
qint64 findLirro(const QString& build)
{
    const QString program = QFileInfo(build + "/src/lirro").canonicalFilePath();
    for (const QString& pid : QDir("/proc").entryList({ "[0-9]*" })) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() == program)
            return pid.toLongLong();
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("E-ink benchmark: a scripted lirro session on the emulated panel.");
    parser.addHelpOption();
    const QCommandLineOption buildOption("build", "The build directory.", "DIR");
    const QCommandLineOption outOption("out", "Keep the device's logs and the settled panel of each step in DIR.", "DIR");
    parser.addOptions({ buildOption, outOption });
    parser.process(app);
    // Only inside the device sandbox, by its own check.
    if (QProcess::execute(QStringLiteral(LIRRO_SOURCE_DIR "/scripts/sandbox"), { QStringLiteral("--inside") }) != 0) {
        std::fprintf(stderr, "bench-eink: run it inside scripts/sandbox --dbus\n");
        return 2;
    }
    const QString build = QFileInfo(parser.value(buildOption)).absoluteFilePath();
    const QString out = parser.isSet(outOption) ? parser.value(outOption) : QStringLiteral("/tmp/bench-eink");
    QDir(out).removeRecursively();
    QDir().mkpath(out);

    QElapsedTimer clock;
    clock.start();
    QProcess device;
    device.setProcessChannelMode(QProcess::ForwardedChannels);
    const double startMs = clock.nsecsElapsed() / 1e6;
    device.start(LIRRO_SOURCE_DIR "/scripts/device-session", { build, out, "600", "800" });
    QUdpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), ScreenPort);
    qint64 lirro = 0;
    QJsonObject before;
    while ((before = stats(socket, clock)).isEmpty() || !(lirro = findLirro(build))) {
        QThread::msleep(PollMs);
        if (device.state() == QProcess::NotRunning || clock.elapsed() > StepTimeoutMs) {
            std::fprintf(stderr, "bench-eink: the device did not start\n");
            return 1;
        }
    }
    // The program's working directory follows the directory it shows.
    const QString cwd = QStringLiteral("/proc/%1/cwd").arg(lirro);
    const Measure started = settle(socket, clock, QJsonObject(), startMs, true);
    std::printf("start: %lld commands (%lld GU, %lld GC), %lld flashes, panel settled %.0f ms after the device's "
                "start, %lld stale pixels\n\n",
                started.commands, started.gu, started.gc, started.flashes, started.settleMs, started.stale);

    std::printf("%-3s %-7s %-22s %4s %5s %3s %3s %3s %5s %6s %8s %6s %9s %7s\n", "#", "key", "step", "cmds", "lines",
                "GU", "GC", "DW", "flash", "ms", "px upd", "stale", "outline", "old");
    Measure cursor;
    int cursorSteps = 0, outlined = 0, outlineWhole = 0, n = 0;
    for (const Step& step : session()) {
        before = stats(socket, clock);
        if (!sendKey(step.key)) {
            std::fprintf(stderr, "bench-eink: xdotool failed\n");
            return 1;
        }
        // The key is with the X server once xdotool is done.
        const Measure m = settle(socket, clock, before, clock.nsecsElapsed() / 1e6);
        ++n;
        QFile::copy(out + "/panel.png", QStringLiteral("%1/step-%2.png").arg(out).arg(n, 2, 10, QLatin1Char('0')));
        if (qstrcmp(step.what, "setup: enter many/") == 0 && !QFileInfo(cwd).canonicalFilePath().endsWith("/many")) {
            std::fprintf(stderr, "bench-eink: setup did not reach many/ (lirro is in %s)\n",
                         qPrintable(QFileInfo(cwd).canonicalFilePath()));
            return 1;
        }
        std::printf("%-3d %-7s %-22s %4lld %5lld %3lld %3lld %3lld %5lld %6.0f %8lld %6lld %4lld/%-4lld %7lld\n", n,
                    step.key, step.what, m.commands, m.lines, m.gu, m.gc, m.dw, m.flashes, m.settleMs, m.pixels,
                    m.stale, m.outlineShown, m.outlineDrawn, m.earlierOutline);
        std::fflush(stdout);
        if (qstrcmp(step.what, CursorStep) != 0)
            continue;
        ++cursorSteps;
        cursor.lines += m.lines;
        cursor.gu += m.gu;
        cursor.flashes += m.flashes;
        cursor.pixels += m.pixels;
        cursor.stale = qMax(cursor.stale, m.stale);
        cursor.earlierOutline = qMax(cursor.earlierOutline, m.earlierOutline);
        cursor.settleMs = qMax(cursor.settleMs, m.settleMs);
        outlined += m.lines > 0 ? 1 : 0;
        outlineWhole += m.lines > 0 && m.outlineDrawn > 0 && m.outlineShown == m.outlineDrawn ? 1 : 0;
    }
    if (cursorSteps > 0) {
        std::printf("\ncursor steps (%d): %.1f outlines and %.1f GU per step, %lld flashes, %lld pixels updated per "
                    "step, slowest settle %.0f ms, most stale pixels %lld; %d steps drew an outline, shown whole "
                    "on the panel after %d of them, at most %lld pixels left of the one before "
                    "(target: 1 outline + 1 GU, no flash, <= 250 ms, 0 stale, the outline shown after every step, "
                    "0 left)\n",
                    cursorSteps, double(cursor.lines) / cursorSteps, double(cursor.gu) / cursorSteps, cursor.flashes,
                    cursor.pixels / cursorSteps, cursor.settleMs, cursor.stale, outlined, outlineWhole,
                    cursor.earlierOutline);
    }
    std::printf("logs and the settled panel of each step (step-NN.png): %s\n", qPrintable(out));
    device.terminate();
    device.waitForFinished(10000);
    return 0;
}
