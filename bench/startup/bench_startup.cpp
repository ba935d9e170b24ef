// Start-up benchmark: time from process start to the first screen update
// request, and resident memory once started, for lirro and for a minimal Qt
// widgets program run side by side; prints the medians and their ratios.
// Runs inside the device sandbox (it listens on the screen service's port).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTextStream>
#include <QUdpSocket>
#include <algorithm>
#include <cstring>
#include <cstdio>

namespace {
constexpr quint16 kScreenPort = 5678;
constexpr int kUpdateScreen = 2;
constexpr int kUpdateRegion = 3;
constexpr int kTimeoutMs = 20000;
constexpr int kSettleMs = 700;

struct Sample {
    double startMs = -1;
    qint64 rssKiB = -1;
};

qint64 residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool isUpdate(const QByteArray& datagram) {
    if (datagram.size() < 4)
        return false;
    qint32 type;
    memcpy(&type, datagram.constData(), sizeof type);
    return type == kUpdateScreen || type == kUpdateRegion;
}

Sample measure(QUdpSocket& socket, const QString& program, const QStringList& args) {
    while (socket.hasPendingDatagrams())
        socket.receiveDatagram();
    Sample s;
    QProcess proc;
    proc.setStandardOutputFile(QProcess::nullDevice());
    proc.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    proc.start(program, args);
    if (!proc.waitForStarted(kTimeoutMs))
        return s;
    while (clock.elapsed() < kTimeoutMs && s.startMs < 0) {
        if (!socket.waitForReadyRead(50)) {
            if (proc.state() == QProcess::NotRunning)
                break;
            continue;
        }
        while (socket.hasPendingDatagrams()) {
            const QByteArray d = socket.receiveDatagram().data();
            if (s.startMs < 0 && isUpdate(d))
                s.startMs = clock.nsecsElapsed() / 1e6;
        }
    }
    if (s.startMs >= 0) {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < kSettleMs) {
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
T median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? T() : v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"lirro", "The lirro binary.", "path"});
    parser.addOption({"reference", "The minimal widgets program.", "path"});
    parser.addOption({"runs", "Runs of each.", "n", "5"});
    parser.process(app);
    // Only inside the device sandbox, by its own check.
    if (QProcess::execute(QStringLiteral(LIRRO_SOURCE_DIR "/scripts/sandbox"), { QStringLiteral("--inside") }) != 0) {
        fprintf(stderr, "bench-startup: run it inside scripts/sandbox\n");
        return 2;
    }
    QUdpSocket socket;
    if (!socket.bind(QHostAddress::LocalHost, kScreenPort)) {
        fprintf(stderr, "bench-startup: cannot listen on port %d\n", kScreenPort);
        return 1;
    }
    const int runs = std::max(1, parser.value("runs").toInt());
    std::vector<double> ourMs, refMs;
    std::vector<qint64> ourRss, refRss;
    QTextStream out(stdout);
    for (int i = 0; i < runs; ++i) {
        // Alternate so that both see the same machine state.
        const Sample ref = measure(socket, parser.value("reference"), {});
        const Sample our = measure(socket, parser.value("lirro"), {});
        if (ref.startMs < 0 || our.startMs < 0) {
            fprintf(stderr, "bench-startup: run %d saw no update request (lirro %.0f, reference %.0f)\n",
                    i + 1, our.startMs, ref.startMs);
            return 1;
        }
        out << QStringLiteral("run %1: lirro %2 ms %3 KiB, reference %4 ms %5 KiB\n")
                   .arg(i + 1).arg(our.startMs, 0, 'f', 1).arg(our.rssKiB)
                   .arg(ref.startMs, 0, 'f', 1).arg(ref.rssKiB);
        ourMs.push_back(our.startMs);
        refMs.push_back(ref.startMs);
        ourRss.push_back(our.rssKiB);
        refRss.push_back(ref.rssKiB);
    }
    const double oms = median(ourMs), rms = median(refMs);
    const qint64 orss = median(ourRss), rrss = median(refRss);
    out << QStringLiteral("\n%1 %2 %3 %4\n").arg("", -28).arg("lirro", 10).arg("reference", 10).arg("ratio", 8);
    out << QStringLiteral("%1 %2 %3 %4\n").arg("start to first update (ms)", -28)
               .arg(oms, 10, 'f', 1).arg(rms, 10, 'f', 1).arg(oms / rms, 8, 'f', 2);
    out << QStringLiteral("%1 %2 %3 %4\n").arg("resident memory (KiB)", -28)
               .arg(orss, 10).arg(rrss, 10).arg(double(orss) / rrss, 8, 'f', 2);
    return 0;
}
