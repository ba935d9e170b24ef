// Start-up: the hand-off argument, the environment prepared before the Qt
// application exists, the window it opens, and the real binary without any
// of the device's services.

#include "app/filemanagerapplication.h"
#include "app/mainwindow.h"
#include "support/processes.h"
#include "support/sandbox.h"

#include <QApplication>
#include <QtTest>

#include <vector>

namespace {

int shareFrom(const QStringList& arguments)
{
    std::vector<QByteArray> bytes;
    for (const QString& a : arguments)
        bytes.push_back(a.toLatin1());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    int argc = int(arguments.size());
    FileManagerApplication app;
    app.initialize(argc, argv.data());
    return app.shareCode();
}

// Recorded by main() before the Qt application exists.
QByteArray distanceBeforeQtApp;

} // namespace

class TestFileManagerApplication : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void shareArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("share");
        QTest::newRow("123") << QStringList{ "lirro", "ZorUdu123" } << 123;
        QTest::newRow("124") << QStringList{ "lirro", "ZorUdu124" } << 124;
        QTest::newRow("no number") << QStringList{ "lirro", "ZorUdu" } << 0;
        QTest::newRow("digits then text") << QStringList{ "lirro", "ZorUdu12abc" } << 12;
        QTest::newRow("lower case") << QStringList{ "lirro", "zorudu123" } << 0;
        QTest::newRow("prefix") << QStringList{ "lirro", "xZorUdu123" } << 0;
        QTest::newRow("not last") << QStringList{ "lirro", "ZorUdu123", "book.txt" } << 0;
        QTest::newRow("last wins") << QStringList{ "lirro", "ZorUdu5", "ZorUdu7" } << 7;
        QTest::newRow("program only") << QStringList{ "ZorUdu9" } << 9;
        QTest::newRow("too large") << QStringList{ "lirro", "ZorUdu99999999999999999999" } << 0;
        QTest::newRow("no arguments") << QStringList{} << 0;
    }

    void shareArgument()
    {
        QFETCH(QStringList, arguments);
        QTEST(shareFrom(arguments), "share");
    }

    void environmentBeforeQtApplication()
    {
        QCOMPARE(distanceBeforeQtApp, QByteArray("30"));
    }

    void startOpensTheFlash()
    {
        FileManagerApplication app;
        QCOMPARE(app.start(), 0);
        QVERIFY(app.mainWindow()->isVisible());
        QCOMPARE(app.mainWindow()->windowTitle(), QStringLiteral("/media/flash"));
        app.mainWindow()->close();
    }

    void binaryRunsWithoutDeviceServices()
    {
        // No system bus, no system manager, no screen service: the program
        // comes up and keeps running rather than block or die.
        support::HelperProcess lirro;
        QVERIFY(lirro.startUntil(support::buildProgram(QStringLiteral("src/lirro")), {},
                                 [] { return true; }));
        QVERIFY(!lirro.process.waitForFinished(3000));
    }
};

int main(int argc, char** argv)
{
    qputenv("QWS_DBLCLICK_DISTANCE", "12");
    shareFrom({ "lirro" });
    distanceBeforeQtApp = qgetenv("QWS_DBLCLICK_DISTANCE");
    QApplication qtApp(argc, argv);
    TestFileManagerApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filemanagerapplication.moc"
