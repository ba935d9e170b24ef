#include "e2e/devicesession.h"

#include "commandchannel.h"
#include "support/files.h"
#include "support/screenlistener.h"
#include "xwdframebuffer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

namespace {

const char* const Display = ":1"; // scripts/device-session's screen
const char* const FirstDirectory = "/media/flash";
const int ScreenWidth = 600;
const int ScreenHeight = 800;
// Bounds on waits for conditions, generous: with the sanitizers and the
// rest of the suite on two cores a step takes seconds, a device's start or
// end tens of them. They cost nothing when things go right.
const int WaitMs = 30000;
const int StartMs = 120000;
// Nothing sent and the framebuffer still for this long: the panel settled.
const int QuietMs = 300;
// A loaded machine may take longer than the quiet time between painting and
// sending: stale pixels count only when they stay this long after.
const int StaleGraceMs = 5000;

// lirro's process (the launcher's child): the one running the build's binary.
qint64 findLirro()
{
    const QString program = QFileInfo(support::buildProgram("src/lirro")).canonicalFilePath();
    for (const QString& pid : QDir("/proc").entryList({ "[0-9]*" })) {
        if (QFileInfo("/proc/" + pid + "/exe").canonicalFilePath() == program)
            return pid.toLongLong();
    }
    return 0;
}

} // namespace

DeviceSession::~DeviceSession()
{
    session.stop();
}

bool DeviceSession::start()
{
    // In the build directory: the last session's logs and pictures stay for
    // a person to look at.
    dir = support::buildProgram("e2e/" + QCoreApplication::applicationName());
    const bool started = support::freshDir(dir)
        && session.startUntil(
            qEnvironmentVariable("LIRRO_SOURCE_DIR") + "/scripts/device-session",
            { support::buildProgram(QString()), dir, QString::number(ScreenWidth), QString::number(ScreenHeight) },
            [this] { return attach(0); }, StartMs);
    if (!started)
        qWarning() << "the device did not start:" << session.process.state() << session.process.exitCode();
    return started && waitForTitle(QLatin1String(FirstDirectory));
}

bool DeviceSession::attach(qint64 previous)
{
    QString out;
    const qint64 pid = findLirro();
    if (pid <= 0 || pid == previous)
        return false;
    lirroPid = pid;
    return xdotool({ "search", "--onlyvisible", "--pid", QString::number(pid) }, &out)
        && !(mainWindow = out.section('\n', 0, 0)).isEmpty();
}

bool DeviceSession::waitForRestart()
{
    const qint64 previous = lirroPid;
    return QTest::qWaitFor([&] { return attach(previous); }, StartMs);
}

bool DeviceSession::waitForExit(int* status)
{
    // It may have ended while the test waited for something else.
    const bool ended = session.process.state() == QProcess::NotRunning || session.process.waitForFinished(StartMs);
    *status = ended && session.process.exitStatus() == QProcess::NormalExit ? session.process.exitCode() : -1;
    return *status >= 0;
}

bool DeviceSession::xdotool(const QStringList& arguments, QString* output)
{
    QProcess p;
    p.start("env", QStringList{ QStringLiteral("DISPLAY=") + Display, "xdotool" } + arguments);
    const bool done = p.waitForFinished(WaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput());
    return done;
}

bool DeviceSession::key(const QString& name)
{
    return xdotool({ "key", "--delay", "60", name });
}

bool DeviceSession::keys(const QStringList& names)
{
    return std::all_of(names.cbegin(), names.cend(), [this](const QString& name) { return key(name); });
}

bool DeviceSession::type(const QString& text)
{
    return xdotool({ "type", "--delay", "40", "--", text });
}

bool DeviceSession::click(int x, int y)
{
    return xdotool({ "mousemove", QString::number(x), QString::number(y), "click", "1" });
}

bool DeviceSession::input(const QString& line)
{
    // The forwarder makes its FIFO once it runs.
    CommandChannel channel(dir + "/input.fifo");
    return QTest::qWaitFor([&] { return channel.send(line); }, WaitMs);
}

QString DeviceSession::title()
{
    QString out;
    xdotool({ "getwindowname", mainWindow }, &out);
    return out.trimmed();
}

bool DeviceSession::waitForTitle(const QString& wanted)
{
    return QTest::qWaitFor([&] { return title() == wanted; }, WaitMs);
}

bool DeviceSession::waitForWindow(const QString& name, bool shown)
{
    return QTest::qWaitFor([&] {
        QString out;
        xdotool({ "search", "--onlyvisible", "--name", '^' + QRegularExpression::escape(name) + '$' }, &out);
        return out.trimmed().isEmpty() != shown;
    }, WaitMs);
}

QList<QRect> DeviceSession::otherWindows()
{
    QList<QRect> rects;
    QString out, geometry;
    xdotool({ "search", "--onlyvisible", "--pid", QString::number(lirroPid) }, &out);
    for (const QString& id : out.split('\n', Qt::SkipEmptyParts)) {
        if (id == mainWindow || !xdotool({ "getwindowgeometry", "--shell", id }, &geometry))
            continue;
        QMap<QString, int> v;
        for (const QString& line : geometry.split('\n', Qt::SkipEmptyParts))
            v.insert(line.section('=', 0, 0), line.section('=', 1).toInt());
        rects << QRect(v.value("X"), v.value("Y"), v.value("WIDTH"), v.value("HEIGHT"));
    }
    return rects;
}

bool DeviceSession::waitForOtherWindows(int count)
{
    return QTest::qWaitFor([&] { return otherWindows().size() == count; }, WaitMs);
}

bool DeviceSession::menu(const QStringList& keys)
{
    const int before = otherWindows().size();
    return key("Menu") && waitForOtherWindows(before + 1) && this->keys(keys + QStringList{ "Return" });
}

QStringList DeviceSession::repeated(const QString& key, int count)
{
    return QVector<QString>(count, key).toList();
}

QJsonObject DeviceSession::stats()
{
    QUdpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), support::wire::Port);
    socket.write("STATS?");
    QByteArray reply(1 << 16, '\0');
    if (!socket.waitForReadyRead(WaitMs))
        return QJsonObject();
    reply.resize(int(socket.readDatagram(reply.data(), reply.size())));
    return QJsonDocument::fromJson(reply).object();
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
    QJsonObject now;
    double commands = -1;
    QElapsedTimer quiet;
    const bool ok = QTest::qWaitFor([&] {
        now = stats();
        if (now.value("commands").toDouble() != commands) {
            commands = now.value("commands").toDouble();
            quiet.start();
        }
        return quiet.elapsed() >= QuietMs && now.value("framebuffer_unchanged_ms").toDouble() >= QuietMs;
    }, WaitMs);
    return ok ? now : QJsonObject();
}

bool DeviceSession::panelMatches(const QString& step, QString* why, int holdMs)
{
    QJsonObject figures = settled();
    const auto stale = [&] { return qint64(figures.value("stale_pixels").toDouble(-1)); };
    // Either way the figures then tell.
    if (stale() != 0)
        (void)QTest::qWaitFor([&] { return stale() == 0 || (figures = settled()).isEmpty(); }, StaleGraceMs);
    if (stale() == 0 && holdMs > 0)
        (void)QTest::qWaitFor([&] { return stale() != 0 || (figures = stats()).isEmpty(); }, holdMs);
    if (stale() == 0)
        return true;
    const QString name = dir + QStringLiteral("/%1-").arg(++steps, 2, 10, QLatin1Char('0'));
    panelImage().save(name + "panel.png");
    framebufferImage().save(name + "framebuffer.png");
    *why = QStringLiteral("%1: %2 stale pixels (last command %3); pictures in %4*.png")
               .arg(step).arg(stale())
               .arg(QString::fromUtf8(QJsonDocument(figures.value("last").toObject()).toJson(QJsonDocument::Compact)), name);
    return false;
}

bool DeviceSession::cursorStep(const QString& keyName, QString* why)
{
    const QJsonObject before = stats();
    const QRect was = lastOutline();
    if (!key(keyName) || !panelMatches("cursor step " + keyName, why))
        return false;
    const QJsonObject now = stats();
    const QRect outline = lastOutline();
    const qint64 gu = since(now, before, "by_waveform", "GU");
    const qint64 flashes = since(now, before, QString(), "flashes");
    const qint64 outlines = since(now, before, "by_type", "DRAW_LINES");
    const qint64 drawn = since(now, QJsonObject(), QString(), "outline_drawn_pixels");
    const qint64 shown = since(now, QJsonObject(), QString(), "outline_pixels");
    const qint64 earlier = since(now, QJsonObject(), QString(), "earlier_outline_pixels");
    *why = QStringLiteral("cursor step %1: %2 GU, %3 flashes, %4 outlines; %5 of %6 outline pixels shown, %7 of the "
                          "one before; from %8,%9 to %10,%11")
               .arg(keyName).arg(gu).arg(flashes).arg(outlines).arg(shown).arg(drawn).arg(earlier)
               .arg(was.x()).arg(was.y()).arg(outline.x()).arg(outline.y());
    // One row: the outline (inside the row) moved by its height and the
    // pixels between, straight up or down (when there was one before).
    const int step = qAbs(outline.top() - was.top());
    const bool moved = !was.isValid() || (outline.left() == was.left() && step >= outline.height() && step <= outline.height() + 2);
    return moved && gu == 1 && flashes == 0 && outlines == 1 && drawn > 0 && shown == drawn && earlier == 0;
}

QImage DeviceSession::panelImage()
{
    // The picture file lags the panel by up to one write interval.
    if (!QTest::qWaitFor([&] { return !stats().value("files_pending").toBool(); }, WaitMs))
        return QImage();
    const QByteArray bytes = support::readFile(dir + "/panel.raw");
    return bytes.size() != ScreenWidth * ScreenHeight
        ? QImage()
        : QImage(reinterpret_cast<const uchar*>(bytes.constData()), ScreenWidth, ScreenHeight, ScreenWidth,
                 QImage::Format_Grayscale8).copy();
}

QImage DeviceSession::framebufferImage() const
{
    XwdFramebuffer fb;
    const QByteArray grey = fb.open(dir + "/fb/Xvfb_screen0") ? fb.grey() : QByteArray();
    return QImage(reinterpret_cast<const uchar*>(grey.constData()), fb.size().width(), fb.size().height(),
                  fb.size().width(), QImage::Format_Grayscale8).copy();
}

QList<QJsonObject> DeviceSession::log(const QString& name) const
{
    return support::readJsonLines(dir + '/' + name + ".log");
}

bool DeviceSession::logged(const QString& name, const QJsonObject& fields) const
{
    const QList<QJsonObject> lines = log(name);
    return std::any_of(lines.cbegin(), lines.cend(), [&](const QJsonObject& line) {
        for (auto field = fields.constBegin(); field != fields.constEnd(); ++field) {
            if (line.value(field.key()) != field.value())
                return false;
        }
        return true;
    });
}

QRect DeviceSession::lastOutline() const
{
    const QList<QJsonObject> commands = log("screen-service");
    for (auto it = commands.crbegin(); it != commands.crend(); ++it) {
        if (it->value("type") != "DRAW_LINES")
            continue;
        QRect box;
        for (const QJsonValue& p : it->value("points").toArray())
            box |= QRect(p.toArray().at(0).toInt(), p.toArray().at(1).toInt(), 1, 1);
        return box;
    }
    return QRect();
}
