// The screen-service process with its panel: options, figures on request,
// the files it keeps, and the panel against a real X server's framebuffer.

#include "fakexwd.h"
#include "support/sandbox.h"
#include "panel.h"
#include "xwdframebuffer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QWidget>
#include <QtTest>

namespace {

const char* const kPaintArgument = "--paint-test-window";

QString serviceProgram()
{
    return qEnvironmentVariable("LIRRO_BUILD_DIR") + QStringLiteral("/emulator/screen-service/screen-service");
}

QByteArray record(const QMap<int, qint32>& fields)
{
    QByteArray data(164, '\0');
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        qToUnaligned<qint32>(it.value(), data.data() + it.key());
    return data;
}

bool waitForReady(QProcess& process)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        if (process.canReadLine() && process.readLine().trimmed() == "ready")
            return true;
        if (process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(100);
    }
    return false;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Client
{
public:
    explicit Client(quint16 port) { socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port); }

    // Sends with the reply-wait bit and waits for the answer.
    bool send(const QByteArray& command)
    {
        socket.write(command);
        if (!socket.waitForReadyRead(3000))
            return false;
        QByteArray reply(200, '\0');
        return socket.readDatagram(reply.data(), reply.size()) == 164;
    }

    QJsonObject stats()
    {
        socket.write("STATS?");
        if (!socket.waitForReadyRead(3000))
            return QJsonObject();
        QByteArray reply(65536, '\0');
        reply.resize(int(socket.readDatagram(reply.data(), reply.size())));
        return QJsonDocument::fromJson(reply).object();
    }

    QUdpSocket socket;
};

// A window that covers the X screen with black, a mid grey and white bands.
class TestWindow : public QWidget
{
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.fillRect(QRect(0, 0, 200, 200), Qt::black);
        p.fillRect(QRect(0, 300, width(), 100), QColor(100, 100, 100));
    }
};

int paintTestWindow(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestWindow w;
    w.setGeometry(0, 0, 600, 800);
    w.show();
    return app.exec();
}

} // namespace

class PanelServiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(QFile::exists(serviceProgram()));
    }

    void panelFilesAndFigures()
    {
        QTemporaryDir dir;
        FakeXwd fake;
        // The program's screen turned by 90 degrees: 800 x 600 on a 600 x 800 panel.
        QVERIFY(fake.create(dir.filePath("Xvfb_screen0"), QSize(800, 600)));
        fake.fillGrey(QRect(0, 0, 100, 50), 0);
        const QString raw = dir.filePath("panel.raw");
        const QString png = dir.filePath("panel.png");
        const QString stats = dir.filePath("stats.json");
        const QString log = dir.filePath("log.jsonl");

        QProcess service;
        service.setReadChannel(QProcess::StandardError);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QWS_DISPLAY", "Transformed:Rot90:0");
        service.setProcessEnvironment(env);
        service.start(serviceProgram(), {"--port", "6101", "--log", log, "--fbdir", dir.path(), "--panel-raw", raw,
                                         "--panel-png", png, "--stats", stats});
        QVERIFY(waitForReady(service));
        QCOMPARE(readAll(raw), QByteArray(600 * 800, char(255)));

        Client client(6101);
        QJsonObject s = client.stats();
        QCOMPARE(s.value("rotation").toInt(), 90);
        QCOMPARE(s.value("stale_pixels").toInt(), 5000);
        QCOMPARE(s.value("commands").toInt(), 0);

        // Where the client sends the logical x 0-99, y 0-49 at 90 degrees.
        QVERIFY(client.send(record({{0, 3}, {4, 3}, {8, 1}, {12, 700}, {16, 0}, {20, 50}, {24, 100}, {160, 3}})));
        // The answer came after the panel changed.
        s = client.stats();
        QCOMPARE(s.value("commands").toInt(), 1);
        QCOMPARE(s.value("stale_pixels").toInt(), 0);
        QCOMPARE(s.value("last").toObject().value("pixels_updated").toInt(), 5000);
        QCOMPARE(s.value("by_waveform").toObject().value("GU").toInt(), 1);

        QByteArray expected(600 * 800, char(255));
        for (int y = 700; y < 800; ++y)
            for (int x = 0; x < 50; ++x)
                expected[y * 600 + x] = 0;
        QTRY_COMPARE_WITH_TIMEOUT(readAll(raw), expected, 2000);
        // The picture is written just after the raw bytes.
        QTRY_COMPARE_WITH_TIMEOUT(qGray(QImage(png).pixel(10, 790)), 0, 2000);
        QCOMPARE(QImage(png).size(), QSize(600, 800));
        QCOMPARE(qGray(QImage(png).pixel(10, 10)), 255);
        QTRY_COMPARE_WITH_TIMEOUT(
            QJsonDocument::fromJson(readAll(stats)).object().value("commands").toInt(), 1, 2000);

        // A GC without reply wait is a flash; STATS? is neither logged nor a command.
        client.socket.write(record({{0, 2}, {4, 4}, {160, 1}}));
        QTRY_COMPARE_WITH_TIMEOUT(client.stats().value("flashes").toInt(), 1, 2000);
        QFile logFile(log);
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = logFile.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(lines[0]).object().value("pixels_updated").toInt(), 5000);
        QCOMPARE(QJsonDocument::fromJson(lines[1]).object().value("waveform").toString(), QStringLiteral("GC"));

        service.terminate();
        QVERIFY(service.waitForFinished(3000));
    }

    void options()
    {
        QTemporaryDir dir;
        FakeXwd fake;
        QVERIFY(fake.create(dir.filePath("Xvfb_screen0"), QSize(300, 200)));
        // --rotation wins over QWS_DISPLAY; the panel takes its own size.
        QProcess service;
        service.setReadChannel(QProcess::StandardError);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QWS_DISPLAY", "Transformed:Rot90:0");
        service.setProcessEnvironment(env);
        service.start(serviceProgram(), {"--port", "6102", "--log", dir.filePath("log"), "--fbdir", dir.path(),
                                         "--rotation", "180", "--panel-size", "300x200"});
        QVERIFY(waitForReady(service));
        Client client(6102);
        const QJsonObject s = client.stats();
        QCOMPARE(s.value("rotation").toInt(), 180);
        QCOMPARE(s.value("panel").toVariant().toList(), (QVariantList{300, 200}));
        QCOMPARE(s.value("framebuffer").toBool(), true);
        service.terminate();
        QVERIFY(service.waitForFinished(3000));

        const QStringList bad[] = {{"--rotation", "45"}, {"--panel-size", "600"}, {"--panel-size", "0x800"}};
        for (const QStringList& args : bad) {
            QProcess p;
            p.start(serviceProgram(), QStringList{"--port", "6103"} + args);
            QVERIFY(p.waitForFinished(3000));
            QCOMPARE(p.exitCode(), 2);
        }
        QProcess help;
        help.start(serviceProgram(), {"--help"});
        QVERIFY(help.waitForFinished(3000));
        const QByteArray text = help.readAllStandardOutput();
        for (const char* word : {"STATS?", "--fbdir", "--panel-png", "--panel-raw", "--stats", "--panel-size",
                                 "--rotation"})
            QVERIFY2(text.contains(word), word);
    }

    // The panel against Xvfb's own exported framebuffer with a real window.
    void realXServer()
    {
        QTemporaryDir dir;
        QProcess xvfb;
        xvfb.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        xvfb.start("Xvfb", {":57", "-screen", "0", "600x800x24", "-fbdir", dir.path(), "-nolisten", "tcp"});
        QVERIFY(xvfb.waitForStarted(3000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("/tmp/.X11-unix/X57"), 5000);

        QProcess service;
        service.setReadChannel(QProcess::StandardError);
        const QString raw = dir.filePath("panel.raw");
        service.start(serviceProgram(), {"--port", "6104", "--log", dir.filePath("log"), "--fbdir", dir.path(),
                                         "--panel-raw", raw});
        QVERIFY(waitForReady(service));
        Client client(6104);
        QVERIFY(client.stats().value("framebuffer").toBool());

        QProcess window;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", ":57");
        window.setProcessEnvironment(env);
        window.setProcessChannelMode(QProcess::ForwardedChannels);
        window.start(QCoreApplication::applicationFilePath(), {kPaintArgument});
        QVERIFY(window.waitForStarted(3000));

        // Painted but not yet asked for: the whole window is stale.
        XwdFramebuffer fb;
        QVERIFY(fb.open(dir.filePath("Xvfb_screen0")));
        auto painted = [&] {
            const QByteArray g = fb.grey();
            return uchar(g[10 * 600 + 10]) == 0 && uchar(g[350 * 600 + 300]) == 100 && uchar(g[700 * 600 + 300]) == 255;
        };
        QTRY_VERIFY_WITH_TIMEOUT(painted(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(client.stats().value("framebuffer_unchanged_ms").toInt() > 300, 5000);
        QVERIFY(client.stats().value("stale_pixels").toInt() >= 200 * 200);

        QVERIFY(client.send(record({{0, 2}, {4, 3}, {160, 3}})));
        const QJsonObject s = client.stats();
        QCOMPARE(s.value("stale_pixels").toInt(), 0);
        QByteArray expected = fb.grey();
        for (char& c : expected)
            c = char(Panel::render(uchar(c), Panel::GU));
        QTRY_COMPARE_WITH_TIMEOUT(readAll(raw), expected, 2000);
        QCOMPARE(int(uchar(expected[10 * 600 + 10])), 0);
        QCOMPARE(int(uchar(expected[350 * 600 + 300])), 102);
        QCOMPARE(int(uchar(expected[700 * 600 + 300])), 255);

        window.kill();
        window.waitForFinished(3000);
        service.terminate();
        service.waitForFinished(3000);
        xvfb.terminate();
        QVERIFY(xvfb.waitForFinished(3000));
    }
};

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], kPaintArgument) == 0)
        return paintTestWindow(argc, argv);
    QCoreApplication app(argc, argv);
    PanelServiceTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_panelservice.moc"
