// Start-up benchmark: time from process start to the first screen update
// request, processor time used by then, and resident memory once started,
// for lirro and for a minimal Qt widgets program run side by side, and
// optionally for a bare Qt program with lirro's first-screen widgets; prints
// the medians and their ratios. Runs inside the device sandbox (it listens
// on the screen service's port).
#include "screenupdate.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTextStream>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const int TimeoutMs = 20000;
const int SettleMs = 700;

struct Sample
{
    double startMs = -1;
    double cpuMs = -1; // all threads, until the first update request
    qint64 rssKiB = -1;
};

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Time on the processor of every thread, from the scheduler's own count.
double cpuMs(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    qint64 ns = 0;
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly))
            ns += stat.readAll().split(' ').value(0).toLongLong();
    }
    return ns / 1e6;
}

bool isUpdate(const QByteArray& datagram)
{
    if (datagram.size() < 4)
        return false;
    using vexa::screen::ScreenCommand;
    qint32 type;
    std::memcpy(&type, datagram.constData(), sizeof type);
    return type == ScreenCommand::UPDATE_SCREEN || type == ScreenCommand::UPDATE_REGION;
}

Sample measure(QUdpSocket& socket, const QString& program)
{
    while (socket.hasPendingDatagrams())
        socket.receiveDatagram();
    Sample s;
    QProcess proc;
    proc.setStandardOutputFile(QProcess::nullDevice());
    proc.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    proc.start(program, QStringList());
    if (!proc.waitForStarted(TimeoutMs))
        return s;
    while (clock.elapsed() < TimeoutMs && s.startMs < 0) {
        if (!socket.waitForReadyRead(50)) {
            if (proc.state() == QProcess::NotRunning)
                break;
            continue;
        }
        while (socket.hasPendingDatagrams()) {
            const QByteArray d = socket.receiveDatagram().data();
            if (s.startMs < 0 && isUpdate(d)) {
                s.startMs = clock.nsecsElapsed() / 1e6;
                s.cpuMs = cpuMs(proc.processId());
            }
        }
    }
    if (s.startMs >= 0) {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < SettleMs) {
            socket.waitForReadyRead(50);
            while (socket.hasPendingDatagrams())
                socket.receiveDatagram();
        }
        s.rssKiB = residentKiB(proc.processId());
    }
    proc.terminate();
    if (!proc.waitForFinished(3000)) {
        proc.kill();
        proc.waitForFinished(3000);
    }
    return s;
}

template <typename T>
T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? T() : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"lirro", "The lirro binary.", "path"});
    parser.addOption({"reference", "The minimal widgets program.", "path"});
    parser.addOption({"same-widgets", "A bare Qt program with lirro's first-screen widgets.", "path"});
    parser.addOption({"runs", "Runs of each.", "n", "7"});
    parser.process(app);
    // Only inside the device sandbox, by its own check.
    if (QProcess::execute(QStringLiteral(LIRRO_SOURCE_DIR "/scripts/sandbox"), {QStringLiteral("--inside")}) != 0) {
        std::fprintf(stderr, "bench-startup: run it inside scripts/sandbox\n");
        return 2;
    }
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, vexa::screen::ScreenProxy::Port)) {
        std::fprintf(stderr, "bench-startup: cannot listen on port %d\n", vexa::screen::ScreenProxy::Port);
        return 1;
    }
    const int runs = std::max(1, parser.value("runs").toInt());
    const bool withSame = parser.isSet("same-widgets");
    std::vector<Sample> ours;
    std::vector<Sample> refs;
    std::vector<Sample> sames;
    QTextStream out(stdout);
    auto text = [](const Sample& s) {
        return QStringLiteral("%1 ms (%2 ms cpu) %3 KiB")
            .arg(s.startMs, 0, 'f', 1).arg(s.cpuMs, 0, 'f', 1).arg(s.rssKiB);
    };
    for (int i = 0; i < runs; ++i) {
        // Alternate so that all see the same machine state.
        const Sample ref = measure(socket, parser.value("reference"));
        const Sample same = withSame ? measure(socket, parser.value("same-widgets")) : Sample();
        const Sample our = measure(socket, parser.value("lirro"));
        if (ref.startMs < 0 || our.startMs < 0 || (withSame && same.startMs < 0)) {
            std::fprintf(stderr, "bench-startup: run %d saw no update request (lirro %.0f, "
                         "reference %.0f, same widgets %.0f)\n",
                         i + 1, our.startMs, ref.startMs, same.startMs);
            return 1;
        }
        out << QStringLiteral("run %1: lirro %2, reference %3").arg(i + 1).arg(text(our), text(ref));
        if (withSame)
            out << QStringLiteral(", same widgets %1").arg(text(same));
        out << '\n';
        ours.push_back(our);
        refs.push_back(ref);
        sames.push_back(same);
    }
    auto column = [](const std::vector<Sample>& samples, auto field) {
        std::vector<double> values;
        for (const Sample& s : samples)
            values.push_back(double(s.*field));
        return median(values);
    };
    auto row = [&](const char* label, auto field, int decimals) {
        const double our = column(ours, field);
        const double ref = column(refs, field);
        out << QStringLiteral("%1 %2 %3 %4").arg(QLatin1String(label), -30)
                   .arg(our, 10, 'f', decimals).arg(ref, 10, 'f', decimals).arg(our / ref, 8, 'f', 2);
        if (withSame) {
            const double same = column(sames, field);
            out << QStringLiteral(" %1 %2").arg(same, 13, 'f', decimals).arg(our / same, 8, 'f', 2);
        }
        out << '\n';
    };
    out << QStringLiteral("\n%1 %2 %3 %4").arg(QString(), -30).arg("lirro", 10).arg("reference", 10).arg("ratio", 8);
    if (withSame)
        out << QStringLiteral(" %1 %2").arg("same widgets", 13).arg("ratio", 8);
    out << '\n';
    row("start to first update (ms)", &Sample::startMs, 1);
    row("processor time by then (ms)", &Sample::cpuMs, 1);
    row("resident memory (KiB)", &Sample::rssKiB, 0);
    return 0;
}
