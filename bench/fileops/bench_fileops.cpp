// File operation benchmark: the file list's engine, headless, against the
// system's own tools on the same tree in the same run: copy against cp -r,
// count against du -s, delete against rm -rf, a move across two file
// systems against mv. Prints each pair and the ratio (reference time over
// our time: 1.0 is as fast, above is faster), and the peak resident memory.
//
// Expects two scratch directories on different file systems (the run script
// mounts two tmpfs inside the device sandbox). With --tree DIR it copies and
// moves an existing tree instead, against cp -r, cp -a and mv, and prints
// every difference between the engine's copy (and move) and cp -a's.
#include "browser/fs_view.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const qint64 MiB = 1024 * 1024;

struct Options
{
    QString root;     // scratch on the first file system
    QString other;    // scratch on the second one
    QString tree;     // an existing tree on the first file system
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

// The engine with an owner who says Yes to every overwrite question and
// counts failures (the benchmark expects none).
class BenchView : public FS_VIEW
{
public:
    int failures = 0;

private:
    int askOverwrite(const QString&, const QString&, QMessageBox::StandardButtons) override
    {
        return QMessageBox::Yes;
    }
    void showFailure(const QString& text) override
    {
        ++failures;
        std::fprintf(stderr, "failure: %s\n", qPrintable(text));
    }
};

double runEngine(BenchView& view, OperationKind kind, const QString& source, const QString& targetDir)
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

double median(QList<double> times)
{
    if (times.isEmpty())
        return -1;
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

void printPairs(const QList<const Pair*>& pairs, bool references)
{
    std::printf("%-18s %10s %10s  %-7s %s\n", "operation", "lirro s", "ref s", "ref", "ratio");
    for (const Pair* pair : pairs) {
        const double ours = median(pair->ours);
        const double theirs = median(pair->theirs);
        if (references)
            std::printf("%-18s %10.3f %10.3f  %-7s %.2f\n", pair->name, ours, theirs,
                        pair->reference, theirs / ours);
        else
            std::printf("%-18s %10.3f\n", pair->name, ours);
    }
}

// One entry's status as cp -a keeps it: type and permission bits,
// modification time, size, and a link's text.
QString describe(const QByteArray& path, const struct stat& st)
{
    QString text = QStringLiteral("mode %1 mtime %2.%3 size %4")
                       .arg(st.st_mode, 0, 8)
                       .arg(st.st_mtim.tv_sec)
                       .arg(st.st_mtim.tv_nsec, 9, 10, QLatin1Char('0'))
                       .arg(S_ISDIR(st.st_mode) ? 0 : st.st_size);
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(path.constData(), target, sizeof target);
        text += QStringLiteral(" -> ") + QString::fromLocal8Bit(target, int(qMax<ssize_t>(n, 0)));
    }
    return text;
}

// Every entry below root, by relative path, described.
void listTree(const QByteArray& root, const QByteArray& relative, QMap<QByteArray, QString>& out)
{
    const QByteArray path = relative.isEmpty() ? root : root + '/' + relative;
    DIR* dir = ::opendir(path.constData());
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray child = relative.isEmpty() ? name : relative + '/' + name;
        struct stat st;
        if (::lstat((root + '/' + child).constData(), &st) != 0)
            continue;
        out.insert(child, describe(root + '/' + child, st));
        if (S_ISDIR(st.st_mode))
            listTree(root, child, out);
    }
    ::closedir(dir);
}

// Prints every difference of ours from reference (cp -a's): entries
// missing on either side, status (diff of modes, times, sizes, link texts)
// and contents (diff -rq). Returns how many there were.
int compareTrees(const char* what, const QString& ours, const QString& reference)
{
    QMap<QByteArray, QString> a;
    QMap<QByteArray, QString> b;
    for (const auto& [root, entries] : { std::make_pair(ours, &a), std::make_pair(reference, &b) }) {
        struct stat st;
        const QByteArray path = QFile::encodeName(root);
        if (::lstat(path.constData(), &st) == 0)
            entries->insert(".", describe(path, st));
        listTree(path, QByteArray(), *entries);
    }
    int differences = 0;
    for (auto it = b.cbegin(); it != b.cend(); ++it) {
        if (!a.contains(it.key())) {
            std::printf("  %s: missing %s\n", what, it.key().constData());
            ++differences;
        } else if (a.value(it.key()) != it.value()) {
            std::printf("  %s: %s: %s, cp -a: %s\n", what, it.key().constData(),
                        qPrintable(a.value(it.key())), qPrintable(it.value()));
            ++differences;
        }
    }
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        if (!b.contains(it.key())) {
            std::printf("  %s: extra %s\n", what, it.key().constData());
            ++differences;
        }
    }
    QProcess diff;
    diff.start(QStringLiteral("diff"), { QStringLiteral("-rq"), QStringLiteral("--no-dereference"),
                                         ours, reference });
    diff.waitForFinished(-1);
    for (const QByteArray& line : diff.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty()) {
            std::printf("  %s: %s\n", what, line.constData());
            ++differences;
        }
    }
    std::printf("%s: %d entries, %d differences from cp -a\n", what, int(b.size()), differences);
    return differences;
}

bool removeTree(const QString& path)
{
    return QProcess::execute(QStringLiteral("rm"), { QStringLiteral("-rf"), path }) == 0;
}

// An existing tree, copied within its medium and moved across media.
int runTree(BenchView& view, const Options& o)
{
    const QString name = QFileInfo(o.tree).fileName();
    const QString ours = o.root + "/ours";
    const QString plain = o.root + "/cp-r";
    const QString archive = o.root + "/cp-a";
    Pair copy{ "copy", "cp -r", {}, {} };
    Pair copyAll{ "copy", "cp -a", {}, {} };
    Pair move{ "move across media", "mv", {}, {} };
    int differences = 0;
    for (int run = 0; run < o.runs; ++run) {
        for (const QString& dir : { ours, plain, archive })
            QDir().mkpath(dir);
        copy.ours << runEngine(view, CopyOperation, o.tree, ours);
        copyAll.ours << copy.ours.last();
        copy.theirs << runReference("cp", { "-r", o.tree, plain + "/" });
        copyAll.theirs << runReference("cp", { "-a", o.tree, archive + "/" });
        if (run == 0)
            differences += compareTrees("copy", ours + "/" + name, archive + "/" + name);

        // There and back: ours moves to the other medium, mv moves it home.
        move.ours << runEngine(view, MoveOperation, o.tree, o.other);
        if (QFileInfo::exists(o.tree) || !QFileInfo::exists(o.other + "/" + name))
            std::fprintf(stderr, "move did not move the tree\n");
        if (run == 0)
            differences += compareTrees("move", o.other + "/" + name, archive + "/" + name);
        move.theirs << runReference("mv", { o.other + "/" + name, o.root + "/" });
        for (const QString& dir : { ours, plain, archive })
            removeTree(dir);
    }
    std::printf("tree: %s, median of %d runs\n", qPrintable(o.tree), o.runs);
    printPairs({ &copy, &copyAll, &move }, true);
    std::printf("differences from cp -a: %d, failures: %d\n", differences, view.failures);
    return view.failures == 0 ? 0 : 1;
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
    parser.addOption({ "runs", "Repetitions (the median counts).", "n", "5" });
    parser.addOption({ "tree", "An existing tree on the first file system to copy and move.", "dir" });
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
    o.tree = parser.value("tree");
    if (o.root.isEmpty() || o.other.isEmpty()) {
        std::fprintf(stderr, "--root and --other are needed\n");
        return 2;
    }

    if (!o.tree.isEmpty()) {
        BenchView view;
        return runTree(view, o);
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

    BenchView view;
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
        if (view.totals().files != o.files + (o.bigMiB > 0 ? 1 : 0) || view.totals().bytes != bytes)
            std::fprintf(stderr, "count wrong: %d files, %lld bytes\n", view.totals().files,
                         static_cast<long long>(view.totals().bytes));
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

    printPairs({ &copy, &count, &remove, &move }, o.references);
    std::printf("peak memory: %lld KiB (%lld KiB before the operations), %d files, failures: %d\n",
                static_cast<long long>(peakRssKiB()), static_cast<long long>(baseRss), o.files,
                view.failures);
    QDir(o.root).removeRecursively();
    return view.failures == 0 ? 0 : 1;
}
