#include "e2e/devicesession.h"

#include "commandchannel.h"
#include "support/files.h"
#include "support/screenlistener.h"
#include "xwdframebuffer.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

namespace {

const char* const Display = ":1"; // scripts/device-session's screen
const char* const StateDir = "/tmp/lirro-e2e";
const char* const SdCardNode = "/dev/sdmmc";
const int ScreenWidth = 600;
const int ScreenHeight = 800;
const int WaitMs = 10000;
// Nothing sent and the framebuffer still for this long: the panel settled.
const int QuietMs = 300;
const int SettleTimeoutMs = 15000;
// A loaded machine may take longer than the quiet time between painting and
// sending: stale pixels count only when they stay this long after.
const int StaleGraceMs = 1500;

QString fromEnvironment(const char* name, const QString& relative)
{
    return qEnvironmentVariable(name) + QLatin1Char('/') + relative;
}

// lirro's process (the launcher's child): the one running the build's binary.
qint64 findLirro()
{
    const QString program = QFileInfo(support::buildProgram(QStringLiteral("src/lirro"))).canonicalFilePath();
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList({ QStringLiteral("[0-9]*") })) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() == program)
            return pid.toLongLong();
    }
    return 0;
}

} // namespace

DeviceSession::~DeviceSession()
{
    session.stop();
    QFile::remove(QLatin1String(SdCardNode));
    // Logs and pictures for a person to look at, outside the sandbox's /tmp.
    const QString keep = qEnvironmentVariable("LIRRO_E2E_KEEP");
    if (!keep.isEmpty() && QFileInfo(dir).isDir()) {
        const QString to = keep + QLatin1Char('/') + QString::number(QDateTime::currentMSecsSinceEpoch());
        QDir().mkpath(to);
        for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files))
            QFile::copy(f.filePath(), to + QLatin1Char('/') + f.fileName());
    }
}

bool DeviceSession::start(bool sdCard)
{
    dir = QLatin1String(StateDir);
    if (!support::freshDir(dir))
        return false;
    // The sandbox's /dev is our own: the card is there or not, as asked.
    QFile::remove(QLatin1String(SdCardNode));
    if (sdCard && !support::writeFile(QLatin1String(SdCardNode), QByteArray()))
        return false;
    const bool shown = session.startUntil(
        fromEnvironment("LIRRO_SOURCE_DIR", QStringLiteral("scripts/device-session")),
        { qEnvironmentVariable("LIRRO_BUILD_DIR"), dir, QString::number(ScreenWidth), QString::number(ScreenHeight) },
        [this] {
            QString out;
            return (lirroPid = findLirro()) > 0
                && xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                             QString::number(lirroPid) }, &out)
                && !(mainWindow = out.section(QLatin1Char('\n'), 0, 0)).isEmpty();
        },
        30000);
    return shown;
}

bool DeviceSession::waitForExit(int* status)
{
    if (!session.process.waitForFinished(WaitMs) || session.process.exitStatus() != QProcess::NormalExit)
        return false;
    *status = session.process.exitCode();
    return true;
}

bool DeviceSession::xdotool(const QStringList& arguments, QString* output)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QLatin1String(Display));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), arguments);
    if (!p.waitForFinished(WaitMs)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool DeviceSession::key(const QString& name)
{
    return xdotool({ QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60"), name });
}

bool DeviceSession::keys(const QStringList& names)
{
    for (const QString& name : names) {
        if (!key(name))
            return false;
    }
    return true;
}

bool DeviceSession::type(const QString& text)
{
    return xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("--"), text });
}

bool DeviceSession::input(const QString& line)
{
    // The forwarder makes its FIFO once it runs.
    CommandChannel channel(dir + QStringLiteral("/input.fifo"));
    return QTest::qWaitFor([&] { return channel.send(line); }, WaitMs);
}

QString DeviceSession::title()
{
    QString out;
    xdotool({ QStringLiteral("getwindowname"), mainWindow }, &out);
    return out.trimmed();
}

bool DeviceSession::waitForTitle(const QString& wanted)
{
    return QTest::qWaitFor([&] { return title() == wanted; }, WaitMs);
}

bool DeviceSession::waitForWindow(const QString& name, bool shown)
{
    const QString pattern = QLatin1Char('^') + QRegularExpression::escape(name) + QLatin1Char('$');
    return QTest::qWaitFor([&] {
        QString out;
        xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern }, &out);
        return out.trimmed().isEmpty() != shown;
    }, WaitMs);
}

QList<QRect> DeviceSession::otherWindows()
{
    QList<QRect> rects;
    QString out;
    xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(lirroPid) }, &out);
    for (const QString& id : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QString geometry;
        if (id == mainWindow || !xdotool({ QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id }, &geometry))
            continue;
        QMap<QString, int> v;
        for (const QString& line : geometry.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            v.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
        rects << QRect(v.value(QStringLiteral("X")), v.value(QStringLiteral("Y")), v.value(QStringLiteral("WIDTH")),
                       v.value(QStringLiteral("HEIGHT")));
    }
    return rects;
}

bool DeviceSession::waitForOtherWindows(int count)
{
    return QTest::qWaitFor([&] { return otherWindows().size() == count; }, WaitMs);
}

QJsonObject DeviceSession::stats()
{
    QUdpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), support::wire::Port);
    for (int attempt = 0; attempt < 3; ++attempt) {
        socket.write("STATS?");
        if (!socket.waitForReadyRead(2000))
            continue;
        QByteArray reply(1 << 16, '\0');
        reply.resize(int(socket.readDatagram(reply.data(), reply.size())));
        return QJsonDocument::fromJson(reply).object();
    }
    return QJsonObject();
}

qint64 DeviceSession::since(const QJsonObject& now, const QJsonObject& before, const QString& group,
                            const QString& key)
{
    const auto value = [&](const QJsonObject& o) {
        return group.isEmpty() ? o.value(key).toDouble() : o.value(group).toObject().value(key).toDouble();
    };
    return qint64(value(now) - value(before));
}

QJsonObject DeviceSession::settled()
{
    QJsonObject now = stats();
    double commands = -1;
    QElapsedTimer quiet;
    quiet.start();
    const bool ok = QTest::qWaitFor([&] {
        now = stats();
        if (now.value(QStringLiteral("commands")).toDouble() != commands) {
            commands = now.value(QStringLiteral("commands")).toDouble();
            quiet.restart();
        }
        return quiet.elapsed() >= QuietMs && now.value(QStringLiteral("framebuffer_unchanged_ms")).toDouble() >= QuietMs;
    }, SettleTimeoutMs);
    return ok ? now : QJsonObject();
}

bool DeviceSession::panelMatches(const QString& step, QString* why, int holdMs)
{
    QJsonObject figures = settled();
    const auto stale = [&] { return qint64(figures.value(QStringLiteral("stale_pixels")).toDouble(-1)); };
    // Either way the figures then tell.
    if (stale() != 0)
        (void)QTest::qWaitFor([&] { return stale() == 0 || (figures = settled()).isEmpty(); }, StaleGraceMs);
    if (stale() == 0 && holdMs > 0)
        (void)QTest::qWaitFor([&] { return stale() != 0 || (figures = stats()).isEmpty(); }, holdMs);
    QString name = QStringLiteral("%1-%2").arg(++steps, 2, 10, QLatin1Char('0')).arg(step);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
    if (stale() == 0)
        return true;
    panelImage().save(dir + QLatin1Char('/') + name + QStringLiteral("-panel.png"));
    framebufferImage().save(dir + QLatin1Char('/') + name + QStringLiteral("-framebuffer.png"));
    *why = QStringLiteral("%1: %2 stale pixels (%3 commands, last %4); pictures in %5/%6-*.png")
               .arg(step)
               .arg(stale())
               .arg(figures.value(QStringLiteral("commands")).toDouble())
               .arg(QString::fromUtf8(QJsonDocument(figures.value(QStringLiteral("last")).toObject()).toJson(QJsonDocument::Compact)))
               .arg(dir, name);
    return false;
}

bool DeviceSession::cursorStep(const QString& keyName, QString* why)
{
    const QJsonObject before = stats();
    const QRect was = lastOutline();
    if (!key(keyName) || !panelMatches(QStringLiteral("cursor step ") + keyName, why))
        return false;
    const QJsonObject now = stats();
    const QRect outline = lastOutline();
    const qint64 drawn = qint64(now.value(QStringLiteral("outline_drawn_pixels")).toDouble());
    const qint64 shown = qint64(now.value(QStringLiteral("outline_pixels")).toDouble());
    const qint64 earlier = qint64(now.value(QStringLiteral("earlier_outline_pixels")).toDouble());
    *why = QStringLiteral("cursor step %1: %2 GU, %3 flashes, %4 outlines; outline %5 of %6 pixels shown, %7 "
                          "pixels of the one before; from %8,%9 to %10,%11")
               .arg(keyName)
               .arg(since(now, before, QStringLiteral("by_waveform"), QStringLiteral("GU")))
               .arg(since(now, before, QString(), QStringLiteral("flashes")))
               .arg(since(now, before, QStringLiteral("by_type"), QStringLiteral("DRAW_LINES")))
               .arg(shown).arg(drawn).arg(earlier)
               .arg(was.x()).arg(was.y()).arg(outline.x()).arg(outline.y());
    // One row: the outline (drawn inside the row) moved by its own height
    // and the pixel above and below it, straight up or down (when there was
    // one before).
    const int step = qAbs(outline.top() - was.top());
    const bool moved = !was.isValid()
        || (outline.left() == was.left() && step >= outline.height() && step <= outline.height() + 2);
    return moved && since(now, before, QStringLiteral("by_waveform"), QStringLiteral("GU")) == 1
        && since(now, before, QString(), QStringLiteral("flashes")) == 0
        && since(now, before, QStringLiteral("by_type"), QStringLiteral("DRAW_LINES")) == 1 && drawn > 0
        && shown == drawn && earlier == 0;
}

QImage DeviceSession::panelImage()
{
    // The picture file lags the panel by up to one write interval.
    if (!QTest::qWaitFor([&] { return !stats().value(QStringLiteral("files_pending")).toBool(); }, WaitMs))
        return QImage();
    const QByteArray bytes = support::readFile(dir + QStringLiteral("/panel.raw"));
    if (bytes.size() != ScreenWidth * ScreenHeight)
        return QImage();
    return QImage(reinterpret_cast<const uchar*>(bytes.constData()), ScreenWidth, ScreenHeight, ScreenWidth,
                  QImage::Format_Grayscale8).copy();
}

QImage DeviceSession::framebufferImage() const
{
    XwdFramebuffer fb;
    if (!fb.open(dir + QStringLiteral("/fb/Xvfb_screen0")))
        return QImage();
    const QByteArray grey = fb.grey();
    return QImage(reinterpret_cast<const uchar*>(grey.constData()), fb.size().width(), fb.size().height(),
                  fb.size().width(), QImage::Format_Grayscale8).copy();
}

QList<QJsonObject> DeviceSession::screenLog() const
{
    return support::readJsonLines(dir + QStringLiteral("/screen-service.log"));
}

QList<QJsonObject> DeviceSession::systemLog() const
{
    return support::readJsonLines(dir + QStringLiteral("/system-manager.log"));
}

QList<QJsonObject> DeviceSession::launcherLog() const
{
    return support::readJsonLines(dir + QStringLiteral("/launcher.log"));
}

QRect DeviceSession::lastOutline() const
{
    const QList<QJsonObject> log = screenLog();
    for (auto it = log.crbegin(); it != log.crend(); ++it) {
        if (it->value(QStringLiteral("type")).toString() != QLatin1String("DRAW_LINES"))
            continue;
        QRect box;
        for (const QJsonValue& p : it->value(QStringLiteral("points")).toArray()) {
            const QRect point(p.toArray().at(0).toInt(), p.toArray().at(1).toInt(), 1, 1);
            box = box.isNull() ? point : box.united(point);
        }
        return box;
    }
    return QRect();
}
