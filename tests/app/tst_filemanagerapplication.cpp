// Start-up frame: argument parsing, the environment prepared before the Qt
// application exists, what start() sets up, and the real binary running
// without any of the device's services.

#include "app/filemanagerapplication.h"
#include "support/sandbox.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStyle>
#include <QtTest>

#include <cstdio>
#include <vector>

namespace {

int shareFrom(std::vector<const char*> args)
{
    std::vector<char*> argv;
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    int argc = int(args.size());
    FileManagerApplication app;
    app.initialize(argc, argv.data());
    return app.shareCode();
}

// Recorded by main() before the QApplication is created.
QByteArray distanceBeforeQtApp;
bool qtAppExistedAtInitialize = true;

} // namespace

class TestFileManagerApplication : public QObject
{
    Q_OBJECT

private slots:
    void argumentParsing();
    void environmentBeforeQtApplication();
    void startBuildsTheWindow();
    void binaryRunsWithoutDeviceServices();
};

void TestFileManagerApplication::argumentParsing()
{
    QCOMPARE(shareFrom({"lirro", "ZorUdu123"}), 123);
    QCOMPARE(shareFrom({"lirro", "ZorUdu124"}), 124);
    QCOMPARE(shareFrom({"lirro", "ZorUdu"}), 0);
    QCOMPARE(shareFrom({"lirro", "ZorUduX"}), 0);
    QCOMPARE(shareFrom({"lirro", "ZorUdu12abc"}), 12);
    QCOMPARE(shareFrom({"lirro", "zorudu123"}), 0);
    QCOMPARE(shareFrom({"lirro", "xZorUdu123"}), 0);
    // Only the last argument counts.
    QCOMPARE(shareFrom({"lirro", "ZorUdu123", "book.txt"}), 0);
    QCOMPARE(shareFrom({"lirro", "ZorUdu5", "ZorUdu7"}), 7);
    // Without arguments the program path itself is the last one.
    QCOMPARE(shareFrom({"lirro"}), 0);
    QCOMPARE(shareFrom({"ZorUdu9"}), 9);
    // A number that does not fit is no hand-off code.
    QCOMPARE(shareFrom({"lirro", "ZorUdu99999999999999999999"}), 0);
    // An empty argument vector is survived.
    QCOMPARE(shareFrom({}), 0);
}

void TestFileManagerApplication::environmentBeforeQtApplication()
{
    QVERIFY(!qtAppExistedAtInitialize);
    QCOMPARE(distanceBeforeQtApp, QByteArray("30"));
    // Overwrites whatever was there before (main() set another value).
    qputenv("QWS_DBLCLICK_DISTANCE", "5");
    shareFrom({"lirro"});
    QCOMPARE(qgetenv("QWS_DBLCLICK_DISTANCE"), QByteArray("30"));
}

void TestFileManagerApplication::startBuildsTheWindow()
{
    QFont font = QApplication::font();
    font.setPointSize(7);
    QApplication::setFont(font);
    QDir::setCurrent(QStringLiteral("/media/sd"));

    FileManagerApplication app;
    char arg0[] = "lirro";
    char* argv[] = {arg0, nullptr};
    int argc = 1;
    app.initialize(argc, argv);
    QCOMPARE(app.start(), 0);

    QCOMPARE(QApplication::font().pointSize(), 19);
    QCOMPARE(QApplication::cursorFlashTime(), 0);   // no blinking on e-ink
    QCOMPARE(QApplication::style()->objectName(), QStringLiteral("fusion"));
    // The toolkit images the style sheet names are registered.
    QVERIFY(QFile::exists(QStringLiteral(":/images/check_box_normal")));
    QVERIFY(QFile::exists(QStringLiteral(":/images/check_box_checked")));
    QVERIFY(QFile::exists(QStringLiteral(":/images/up.png")));
    QVERIFY(QFile::exists(QStringLiteral(":/images/down.png")));

    MainWindow* window = app.mainWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(window->windowState() & Qt::WindowMaximized);
    QCOMPARE(window->windowTitle(), QStringLiteral("/media/flash"));
    QCOMPARE(QDir::currentPath(), QStringLiteral("/media/flash"));

    window->close();
    QCOMPARE(QDir::currentPath(), QStringLiteral("/media/sd"));
}

void TestFileManagerApplication::binaryRunsWithoutDeviceServices()
{
    // No system bus, no system manager, no screen service: the program must
    // still come up and keep running rather than block or die.
    const QString binary = qEnvironmentVariable("LIRRO_BUILD_DIR") + QStringLiteral("/src/lirro");
    QVERIFY2(QFile::exists(binary), qPrintable(binary));
    QProcess lirro;
    lirro.setProcessChannelMode(QProcess::ForwardedChannels);
    lirro.start(binary, QStringList());
    QVERIFY(lirro.waitForStarted(5000));
    QVERIFY(!lirro.waitForFinished(3000));
    QCOMPARE(lirro.state(), QProcess::Running);
    lirro.kill();
    QVERIFY(lirro.waitForFinished(5000));
}

int main(int argc, char** argv)
{
    if (!support::insideSandbox()) {
        std::fprintf(stderr, "must run inside scripts/sandbox\n");
        return 1;
    }
    qputenv("QWS_DBLCLICK_DISTANCE", "12");
    {
        FileManagerApplication probe;
        char arg0[] = "lirro";
        char* args[] = {arg0, nullptr};
        int n = 1;
        qtAppExistedAtInitialize = QCoreApplication::instance() != nullptr;
        probe.initialize(n, args);
        distanceBeforeQtApp = qgetenv("QWS_DBLCLICK_DISTANCE");
    }
    QApplication qtApp(argc, argv);
    TestFileManagerApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filemanagerapplication.moc"
