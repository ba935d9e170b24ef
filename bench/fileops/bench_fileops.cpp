// File operation benchmark: the file list's engine, headless, against the
// system's own tools on the same tree in the same run: copy against cp -r,
// count against du -s, delete against rm -rf, a move across two file
// systems against mv. Prints each pair and the ratio (reference time over
// our time: 1.0 is as fast, above is faster), and the peak resident memory.
//
// Expects two scratch directories on different file systems (the run script
// mounts two tmpfs inside the device sandbox).
#include "browser/fs_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const qint64 MiB = 1024 * 1024;

struct Options
{
    QString root;     // scratch on the first file system
    QString other;    // scratch on the second one
    int files = 5000;
    int dirs = 50;
    int bigMiB = 256;
    int runs = 3;
    bool references = true;
};

qint64 peakRssKiB()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool writeBytes(const QString& path, qint64 size, char fill)
{
    static char block[65536];
    std::fill(block, block + sizeof block, fill);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    qint64 left = size;
    while (left > 0) {
        const ssize_t n = ::write(fd, block, size_t(std::min<qint64>(left, sizeof block)));
        if (n <= 0)
            break;
        left -= n;
    }
    return ::close(fd) == 0 && left == 0;
}

// One big file and `files` files of 1 to 64 KiB spread over `dirs` directories.
qint64 buildTree(const QString& tree, const Options& o)
{
    QDir().mkpath(tree);
    qint64 total = 0;
    if (o.bigMiB > 0) {
        if (!writeBytes(tree + "/big.bin", o.bigMiB * MiB, 'B'))
            return -1;
        total += o.bigMiB * MiB;
    }
    std::mt19937 random(4711);
    std::uniform_int_distribution<int> kib(1, 64);
    for (int d = 0; d < o.dirs; ++d) {
        const QString dir = tree + QStringLiteral("/dir%1").arg(d, 2, 10, QLatin1Char('0'));
        QDir().mkpath(dir);
        for (int f = d; f < o.files; f += o.dirs) {
            const qint64 size = qint64(kib(random)) * 1024;
            if (!writeBytes(dir + QStringLiteral("/file%1.dat").arg(f), size, char('a' + f % 26)))
                return -1;
            total += size;
        }
    }
    return total;
}

double runReference(const QString& program, const QStringList& args)
{
    QElapsedTimer clock;
    clock.start();
    QProcess proc;
    proc.setStandardOutputFile(QProcess::nullDevice());
    proc.start(program, args);
    if (!proc.waitForFinished(-1) || proc.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

// Answers every message box: Yes to an overwrite question, Ok to a
// failure (which is counted: the benchmark expects none).
class Answerer : public QObject
{
public:
    Answerer()
    {
        connect(&poll, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || box->property("answered").toBool())
                return;
            box->setProperty("answered", true);
            if (box->icon() == QMessageBox::Critical) {
                ++failures;
                std::fprintf(stderr, "failure: %s\n", qPrintable(box->text()));
            }
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            (yes != nullptr ? yes : box->button(QMessageBox::Ok))->click();
        });
        poll.start(20);
    }
    int failures = 0;

private:
    QTimer poll;
};

double runEngine(FS_VIEW& view, OperationKind kind, const QString& source, const QString& targetDir)
{
    QElapsedTimer clock;
    clock.start();
    view.setDirectory(targetDir);
    view.clipboardPaths = QStringList() << source;
    view.performOperation(kind, QString());
    return clock.nsecsElapsed() / 1e9;
}

struct Pair
{
    const char* name;
    const char* reference;
    QList<double> ours;
    QList<double> theirs;
};

double best(const QList<double>& times)
{
    return times.isEmpty() ? -1 : *std::min_element(times.begin(), times.end());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({ "root", "Scratch directory on the first file system.", "dir" });
    parser.addOption({ "other", "Scratch directory on a second file system.", "dir" });
    parser.addOption({ "files", "Number of small files.", "n", "5000" });
    parser.addOption({ "dirs", "Number of directories.", "n", "50" });
    parser.addOption({ "big", "Size of the big file in MiB.", "mib", "256" });
    parser.addOption({ "runs", "Repetitions (the best time counts).", "n", "3" });
    parser.addOption({ "no-reference", "Only our engine (for the memory figure)." });
    parser.process(app);
    Options o;
    o.root = parser.value("root");
    o.other = parser.value("other");
    o.files = parser.value("files").toInt();
    o.dirs = parser.value("dirs").toInt();
    o.bigMiB = parser.value("big").toInt();
    o.runs = std::max(1, parser.value("runs").toInt());
    o.references = !parser.isSet("no-reference");
    if (o.root.isEmpty() || o.other.isEmpty()) {
        std::fprintf(stderr, "--root and --other are needed\n");
        return 2;
    }

    const QString tree = o.root + "/tree";
    QDir(tree).removeRecursively();
    const qint64 bytes = buildTree(tree, o);
    if (bytes < 0) {
        std::fprintf(stderr, "could not build the tree\n");
        return 1;
    }
    std::printf("tree: %d files of 1-64 KiB in %d dirs + %d MiB file, %.1f MiB in all\n", o.files,
                o.dirs, o.bigMiB, double(bytes) / MiB);

    FS_VIEW view;
    Answerer answerer;
    const qint64 baseRss = peakRssKiB();

    Pair copy{ "copy", "cp -r", {}, {} };
    Pair count{ "count", "du -s", {}, {} };
    Pair remove{ "delete", "rm -rf", {}, {} };
    Pair move{ "move across media", "mv", {}, {} };
    const QString ourCopy = o.root + "/ours";
    const QString theirCopy = o.root + "/theirs";
    for (int run = 0; run < o.runs; ++run) {
        QDir().mkpath(ourCopy);
        QDir().mkpath(theirCopy);
        copy.ours << runEngine(view, CopyOperation, tree, ourCopy);
        if (o.references)
            copy.theirs << runReference("cp", { "-r", tree, theirCopy + "/tree" });

        count.ours << runEngine(view, CountOperation, tree, o.root);
        if (view.fileCount != o.files + (o.bigMiB > 0 ? 1 : 0) || view.bytesDone != bytes)
            std::fprintf(stderr, "count wrong: %d files, %lld bytes\n", view.fileCount,
                         static_cast<long long>(view.bytesDone));
        if (o.references)
            count.theirs << runReference("du", { "-s", tree });

        remove.ours << runEngine(view, DeleteOperation, ourCopy + "/tree", ourCopy);
        if (QFileInfo::exists(ourCopy + "/tree"))
            std::fprintf(stderr, "delete left the tree\n");
        if (o.references)
            remove.theirs << runReference("rm", { "-rf", theirCopy + "/tree" });

        // There and back: ours moves to the other medium, mv moves it home.
        move.ours << runEngine(view, MoveOperation, tree, o.other);
        if (QFileInfo::exists(tree) || !QFileInfo::exists(o.other + "/tree"))
            std::fprintf(stderr, "move did not move the tree\n");
        if (o.references) {
            move.theirs << runReference("mv", { o.other + "/tree", o.root + "/" });
        } else {
            // Home again without timing.
            runEngine(view, MoveOperation, o.other + "/tree", o.root);
        }
    }

    std::printf("%-18s %10s %10s  %-7s %s\n", "operation", "lirro s", "ref s", "ref", "ratio");
    for (const Pair* pair : { &copy, &count, &remove, &move }) {
        const double ours = best(pair->ours);
        const double theirs = best(pair->theirs);
        if (o.references)
            std::printf("%-18s %10.3f %10.3f  %-7s %.2f\n", pair->name, ours, theirs, pair->reference,
                        theirs / ours);
        else
            std::printf("%-18s %10.3f\n", pair->name, ours);
    }
    std::printf("peak memory: %lld KiB (%lld KiB before the operations), %d files, failures: %d\n",
                static_cast<long long>(peakRssKiB()), static_cast<long long>(baseRss), o.files,
                answerer.failures);
    QDir(o.root).removeRecursively();
    return answerer.failures == 0 ? 0 : 1;
}
