// Viewer benchmark on the emulated device's X screen and panel: for a 10 MiB
// C source, a 10 MiB log and a 2 MiB binary, the time from View to the first
// page settled on the panel, the time from a search pattern entered to its
// nearest match settled on the panel, and the added peak resident memory;
// against a minimal Qt program that reads the same text into a plain
// QPlainTextEdit and sends its first page to the panel.
//
//   bench-viewer --run DIR [--runs N]           files made in DIR, every
//                                               measurement a fresh process
//   bench-viewer --measure lirro|reference FILE PATTERN
//
// Runs inside the device sandbox (bench/viewer/run): it starts Xvfb and the
// screen service itself.
#include "browser/fs_model.h"
#include "browser/fs_view.h"
#include "browser/screen_watcher.h"
#include "platform/screen/screenproxy.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "viewer/plain_text_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>

namespace {

const qint64 TextSize = 10 * 1024 * 1024;
const qint64 BinarySize = 2 * 1024 * 1024;
const int PollMs = 10;
const int TimeoutMs = 60000;
const char* const Display = ":7";
const char* const HexdumpLength = "2097152";

qint64 statusKiB(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The screen service's figures.
QJsonObject panelStats()
{
    QUdpSocket socket;
    socket.writeDatagram("STATS?", QHostAddress::LocalHost, vexa::screen::ScreenProxy::Port);
    if (!socket.waitForReadyRead(2000))
        return {};
    QByteArray reply(int(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(reply.data(), reply.size());
    return QJsonDocument::fromJson(reply).object();
}

// The panel shows what the screen shows, after at least one more command.
bool settledAfter(qint64 commands)
{
    const QJsonObject s = panelStats();
    return s.value("commands").toDouble() > commands && s.value("stale_pixels").toDouble() == 0;
}

QString hexdumpOf(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("hexdump"), {QStringLiteral("-C"), QStringLiteral("-n"), HexdumpLength, path});
    p.waitForFinished(30000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

struct Result
{
    double firstPageMs = -1;
    double searchMs = -1;
    qint64 addedKiB = -1;
};

void print(const Result& r)
{
    std::printf("{\"first_page_ms\":%.1f,\"search_ms\":%.1f,\"added_kib\":%lld}\n", r.firstPageMs,
                r.searchMs, r.addedKiB);
}

// A plain QPlainTextEdit with the same text, its first page sent to the panel.
Result measureReference(const QString& path)
{
    Result r;
    const qint64 baseline = statusKiB("VmRSS:");
    const qint64 commands = qint64(panelStats().value("commands").toDouble());
    QElapsedTimer clock;
    clock.start();
    QString text;
    if (path.endsWith(".bin")) {
        text = hexdumpOf(path);
    } else {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        text = QString::fromLocal8Bit(f.readAll());
    }
    QPlainTextEdit edit(text);
    text = QString();
    edit.setReadOnly(true);
    edit.showMaximized();
    QApplication::processEvents();
    QGuiApplication::sync();
    vexa::screen::ScreenProxy::instance().updateScreen(vexa::screen::ScreenProxy::GU);
    while (!settledAfter(commands) && clock.elapsed() < TimeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, PollMs);
    r.firstPageMs = clock.elapsed();
    r.addedKiB = statusKiB("VmHWM:") - baseline;
    return r;
}

// View from the file list, then a search through the viewer's menu and
// keyboard, as the owner does it.
Result measureLirro(const QString& path, const QString& pattern)
{
    Result r;
    FS_VIEW view;
    screenWatcher.watch(&view);
    screenWatcher.start(200);
    view.showMaximized();
    view.setDirectory(QFileInfo(path).absolutePath());
    QElapsedTimer wait;
    wait.start();
    while (!view.model->index(path).isValid() && wait.elapsed() < TimeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, PollMs);
    view.setCurrentIndex(view.model->index(path));
    QApplication::processEvents();

    const qint64 baseline = statusKiB("VmRSS:");
    qint64 commands = qint64(panelStats().value("commands").toDouble());
    enum { Opening, Menu, Searching, Done } phase = Opening;
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* viewer = qobject_cast<PLAIN_TEXT_VIEW*>(
            QApplication::activeModalWidget() ? QApplication::activeModalWidget()->findChild<PLAIN_TEXT_VIEW*>()
                                              : nullptr);
        if (phase == Opening && viewer && viewer->isVisible() && settledAfter(commands)) {
            r.firstPageMs = clock.elapsed();
            phase = Menu;
            // Posted: what they open runs its own loop, and this timer does
            // not fire again until its slot returned.
            QApplication::postEvent(viewer, new QKeyEvent(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier));
            QApplication::postEvent(viewer, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Menu, Qt::NoModifier));
        } else if (phase == Menu) {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menu->setActiveAction(menu->actions().first());
                QApplication::postEvent(menu, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
            } else if (auto* keyboard = qobject_cast<ui::VexaKeyboardDialog*>(QApplication::activeModalWidget())) {
                keyboard->lineEdit()->setText(pattern);
                commands = qint64(panelStats().value("commands").toDouble());
                clock.restart();
                phase = Searching;
                keyboard->accept();
            }
        } else if (phase == Searching && viewer && viewer->textCursor().position() > 0
                   && QApplication::activeModalWidget() == viewer->window() && settledAfter(commands)) {
            r.searchMs = clock.elapsed();
            phase = Done;
            viewer->window()->close();
        }
    });
    poll.start(PollMs);
    QTimer::singleShot(TimeoutMs, [&] {
        if (QApplication::activeModalWidget())
            QApplication::activeModalWidget()->close();
    });
    clock.start();
    QMetaObject::invokeMethod(&view, "actionView", Qt::DirectConnection);
    r.addedKiB = statusKiB("VmHWM:") - baseline;
    return r;
}

void makeFiles(const QString& dir)
{
    QByteArray source;
    const QByteArray chunk =
        "/* A block comment over\n   two lines. */\n#include <stdio.h>\n"
        "static int count(const char* s, int n) // counts\n{\n    int i = 0;\n"
        "    for (i = 0; i < n && s[i] != '\\0'; ++i)\n        printf(\"%d: %c\\n\", i, s[i]);\n"
        "    return i * 0x10 + 1.5e3;\n}\n\n";
    while (source.size() < TextSize * 6 / 10)
        source += chunk;
    source += "int unique_needle_here(void);\n";
    while (source.size() + chunk.size() < TextSize)
        source += chunk;
    QByteArray log;
    for (int i = 0; log.size() < TextSize - 200; ++i) {
        log += QByteArray("2026-12-07 03:") + QByteArray::number(10 + i % 50) + ":00.123 device kernel["
               + QByteArray::number(i) + "]: usb 1-1: new high-speed device number "
               + QByteArray::number(i % 97) + (i == 100000 ? " UNIQUENEEDLE" : "") + "\n";
    }
    QByteArray binary(BinarySize, '\0');
    QRandomGenerator random(7);
    for (char& c : binary)
        c = char(random.bounded(256));
    binary.replace(BinarySize * 6 / 10, 4, "\xde\xad\xbe\xef");
    for (auto [name, bytes] : {std::pair{"big.c", &source}, {"big.log", &log}, {"big.bin", &binary}}) {
        QFile f(dir + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(*bytes);
    }
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v.at(v.size() / 2);
}

int run(const QString& dir, int runs)
{
    makeFiles(dir);
    QProcess xvfb;
    const QString fbdir = dir + "/fb";
    QDir().mkpath(fbdir);
    xvfb.start("Xvfb", {Display, "-screen", "0", "600x800x24", "-fbdir", fbdir, "-dpi", "72", "-nolisten", "tcp"});
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X7")) && wait.elapsed() < 10000)
        QThread::msleep(PollMs);
    QProcess service;
    service.start(QCoreApplication::applicationDirPath() + "/../../emulator/screen-service/screen-service",
                  {"--fbdir", fbdir, "--panel-size", "600x800"});
    service.waitForReadyRead(10000);

    std::printf("%-9s %10s | %12s %12s %6s | %10s | %12s %8s %12s\n", "file", "bytes", "first page", "floor",
                "ratio", "search", "added", "x file", "floor added");
    const QList<QPair<QString, QString>> files = {{"big.c", "unique_needle_here"}, {"big.log", "UNIQUENEEDLE"},
                                                  {"big.bin", "de ad be ef"}};
    for (const auto& [name, pattern] : files) {
        QVector<double> first, floor, search, added, floorAdded;
        for (int i = 0; i < runs; ++i) {
            for (const QString mode : {"lirro", "reference"}) {
                QProcess p;
                p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                p.start(QCoreApplication::applicationFilePath(), {"--measure", mode, dir + "/" + name, pattern});
                p.waitForFinished(2 * TimeoutMs);
                const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
                (mode == QLatin1String("lirro") ? first : floor) << o.value("first_page_ms").toDouble();
                (mode == QLatin1String("lirro") ? added : floorAdded) << o.value("added_kib").toDouble();
                if (mode == QLatin1String("lirro"))
                    search << o.value("search_ms").toDouble();
            }
        }
        const double size = QFileInfo(dir + "/" + name).size();
        std::printf("%-9s %10.0f | %9.0f ms %9.0f ms %5.2fx | %7.0f ms | %8.1f MiB %7.2fx %8.1f MiB\n",
                    qPrintable(name), size, median(first), median(floor), median(first) / median(floor),
                    median(search), median(added) / 1024, median(added) * 1024 / size, median(floorAdded) / 1024);
    }
    service.terminate();
    xvfb.terminate();
    service.waitForFinished();
    xvfb.waitForFinished();
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList args = [&] {
        QStringList a;
        for (int i = 1; i < argc; ++i)
            a << QString::fromLocal8Bit(argv[i]);
        return a;
    }();
    if (args.value(0) == "--run") {
        QCoreApplication app(argc, argv);
        return run(args.value(1), args.indexOf("--runs") > 0 ? args.value(args.indexOf("--runs") + 1).toInt() : 3);
    }
    if (args.value(0) != "--measure" || args.size() < 4) {
        std::fprintf(stderr, "usage: bench-viewer --run DIR [--runs N] | --measure lirro|reference FILE PATTERN\n");
        return 2;
    }
    qputenv("DISPLAY", Display);
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    print(args.value(1) == "lirro" ? measureLirro(args.value(2), args.value(3)) : measureReference(args.value(2)));
    return 0;
}
