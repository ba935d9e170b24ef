// The forwarder inside the device: command lines in its FIFO become real
// X input on the device's screen, and the system manager's state and long
// press travel through the private bus.
#include "commandchannel.h"
#include "support/sandbox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QProcess>
#include <QWidget>
#include <QtTest>

#include <csignal>
#include <cstdio>

namespace {

const char* const kEchoMode = "--echo-input";
const char* const kDisplay = ":37";
const QSize kScreen(600, 800);

// Run as `tst_deviceforwarder --echo-input` on the X screen: a full-screen
// window that prints every key and button it receives, one line each.
class EchoWindow : public QWidget {
protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        say(QStringLiteral("key %1").arg(QKeySequence(e->key()).toString()));
    }
    void mousePressEvent(QMouseEvent* e) override { say(point("press", e->pos())); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { say(point("double", e->pos())); }
    void mouseReleaseEvent(QMouseEvent* e) override { say(point("release", e->pos())); }
    void showEvent(QShowEvent*) override { QTimer::singleShot(200, [] { say(QStringLiteral("shown")); }); }

private:
    static QString point(const char* what, const QPoint& p)
    {
        return QStringLiteral("%1 %2 %3").arg(QLatin1String(what)).arg(p.x()).arg(p.y());
    }
    static void say(const QString& line)
    {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }
};

int echoInput(int argc, char* argv[])
{
    QApplication app(argc, argv);
    EchoWindow window;
    window.setGeometry(QRect(QPoint(0, 0), kScreen));
    window.show();
    return app.exec();
}

QString buildDir() { return qEnvironmentVariable("LIRRO_BUILD_DIR"); }
QString sourceDir() { return qEnvironmentVariable("LIRRO_SOURCE_DIR"); }

} // namespace

class TestDeviceForwarder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void keysAndTouchesReachTheScreen();
    void stateAndLongPressThroughTheBus();
    void refusesWhatIsNotInput();

private:
    bool waitForLine(const QString& line, int timeoutMs = 5000);
    void stop(QProcess& p);

    QString m_dir;
    QProcess m_xvfb;
    QProcess m_manager;
    QProcess m_forwarder;
    QProcess m_echo;
    QStringList m_lines;
    std::unique_ptr<CommandChannel> m_channel;
};

void TestDeviceForwarder::initTestCase()
{
    REQUIRE_SANDBOX();
    m_dir = QStringLiteral("/tmp/tst_deviceforwarder");
    QVERIFY(QDir().mkpath(m_dir));

    m_xvfb.start(QStringLiteral("Xvfb"), {kDisplay, "-screen", "0", "600x800x24", "-nolisten", "tcp"});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("/tmp/.X11-unix/X") + QString(kDisplay).mid(1)), 10000);

    m_manager.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    m_manager.setReadChannel(QProcess::StandardError);
    m_manager.start(buildDir() + "/emulator/system-manager/system-manager",
                    {"--log", m_dir + "/system-manager.log"});
    QVERIFY(m_manager.waitForReadyRead(10000));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", kDisplay);
    m_forwarder.setProcessEnvironment(env);
    m_forwarder.setReadChannel(QProcess::StandardError);
    m_forwarder.start(sourceDir() + "/emulator/device-window/device-forwarder",
                      {m_dir + "/input.fifo", m_dir + "/state.json",
                       buildDir() + "/emulator/system-manager/system-manager-ctl"});
    QVERIFY(m_forwarder.waitForReadyRead(10000));
    QCOMPARE(m_forwarder.readAllStandardError().trimmed(), QByteArray("ready"));

    env.insert("QT_QPA_PLATFORM", "xcb");
    m_echo.setProcessEnvironment(env);
    connect(&m_echo, &QProcess::readyReadStandardOutput, this, [this] {
        while (m_echo.canReadLine())
            m_lines << QString::fromUtf8(m_echo.readLine()).trimmed();
    });
    m_echo.start(QCoreApplication::applicationFilePath(), {kEchoMode});
    QVERIFY(waitForLine("shown", 10000));

    m_channel.reset(new CommandChannel(m_dir + "/input.fifo"));
}

void TestDeviceForwarder::cleanupTestCase()
{
    m_channel.reset();
    for (QProcess* p : {&m_echo, &m_forwarder, &m_manager, &m_xvfb})
        stop(*p);
}

void TestDeviceForwarder::stop(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

bool TestDeviceForwarder::waitForLine(const QString& line, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const int i = m_lines.indexOf(line);
        if (i >= 0) {
            m_lines = m_lines.mid(i + 1);
            return true;
        }
        QTest::qWait(20);
    }
    qWarning("never saw \"%s\"; saw: %s", qPrintable(line), qPrintable(m_lines.join(" | ")));
    return false;
}

void TestDeviceForwarder::keysAndTouchesReachTheScreen()
{
    QVERIFY(m_channel->send("key Escape"));
    QVERIFY(waitForLine("key Esc"));
    QVERIFY(m_channel->send("key Menu"));
    QVERIFY(waitForLine("key Menu"));
    QVERIFY(m_channel->send("key Next"));
    QVERIFY(waitForLine("key PgDown"));

    QVERIFY(m_channel->send("press 100 200"));
    QVERIFY(waitForLine("press 100 200"));
    QVERIFY(m_channel->send("move 120 210"));
    QVERIFY(m_channel->send("release 130 220"));
    QVERIFY(waitForLine("release 130 220"));

    QVERIFY(m_channel->send("tap 300 400"));
    QVERIFY(waitForLine("press 300 400"));
    QVERIFY(waitForLine("release 300 400"));
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QVERIFY(m_channel->send("double 50 60"));
    QVERIFY(waitForLine("double 50 60"));
}

void TestDeviceForwarder::stateAndLongPressThroughTheBus()
{
    const QString stateFile = m_dir + "/state.json";
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(stateFile), 5000);
    QFile file(stateFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(state.value("batteryLevel").toInt(), 80);
    QVERIFY(state.contains("busyIndicator"));
    // Kept fresh.
    const QDateTime first = QFileInfo(stateFile).lastModified();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(stateFile).lastModified() > first, 3000);

    QVERIFY(m_channel->send("long 210 320"));
    auto emitted = [&] {
        QFile log(m_dir + "/system-manager.log");
        if (!log.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : log.readAll().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (entry.value("signal").toString() == QLatin1String("mouseLongPress"))
                return QJsonDocument(entry.value("args").toArray()).toJson(QJsonDocument::Compact)
                    == QByteArray("[210,320,0,0]");
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(emitted(), 5000);
}

void TestDeviceForwarder::refusesWhatIsNotInput()
{
    // Nothing but the device's own keys and plain numbers reaches xdotool.
    QVERIFY(m_channel->send("key ctrl+alt+BackSpace"));
    QVERIFY(m_channel->send("key a"));
    QVERIFY(m_channel->send("tap 1 2; reboot"));
    QVERIFY(m_channel->send("tap -5 3"));
    QVERIFY(m_channel->send("press 1 99999999"));
    QVERIFY(m_channel->send("reboot 1 2"));
    QVERIFY(m_channel->send("key Down"));
    QVERIFY(waitForLine("key Down"));
    for (const QString& line : m_lines)
        QVERIFY2(!line.startsWith("press") && !line.startsWith("key"), qPrintable(line));
    const QString errors = QString::fromUtf8(m_forwarder.readAllStandardError());
    QCOMPARE(errors.count("device-forwarder:"), 6);
}

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], kEchoMode) == 0)
        return echoInput(argc, argv);
    signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    TestDeviceForwarder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_deviceforwarder.moc"
