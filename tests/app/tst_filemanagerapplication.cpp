// Start-up: the hand-off argument, the environment prepared before the Qt
// application exists, the window it opens; the real binary without any of
// the device's services, and the owner's language after every way out.

#include "app/applicationstyle.h"
#include "app/filemanagerapplication.h"
#include "app/mainwindow.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/views.h"

#include "support/files.h"

#include <QApplication>
#include <QStyleFactory>
#include <QtTest>

#include <csignal>
#include <vector>

#include <sys/stat.h>

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

const QString LanguageFile = QStringLiteral("/root/Settings/language");

ino_t languageFileInode()
{
    struct stat st;
    return ::stat(QFile::encodeName(LanguageFile).constData(), &st) == 0 ? st.st_ino : 0;
}

// The real program with LANG, up once it has written the language file
// (no bus, no system manager, no screen service: it must not block or die).
bool startLirro(QProcess& lirro, const QString& lang)
{
    const ino_t before = languageFileInode();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), lang);
    lirro.setProcessEnvironment(env);
    lirro.start(support::buildProgram(QStringLiteral("src/lirro")), QStringList());
    return QTest::qWaitFor([&] { return languageFileInode() != before; }, 20000)
           && lirro.state() == QProcess::Running;
}

bool endLirro(QProcess& lirro, int signal)
{
    ::kill(pid_t(lirro.processId()), signal);
    return lirro.waitForFinished(20000);
}

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
        // The list and its icons drawn, and still no image plugin loaded:
        // each would cost the start its loading and its memory.
        const bool listed = support::waitListed(*app.mainWindow()->fsView());
        app.mainWindow()->repaint();
        const QByteArray maps = support::readFile(QStringLiteral("/proc/self/maps"));
        app.mainWindow()->close();
        QVERIFY(listed);
        QVERIFY(!maps.contains("/imageformats/"));
    }

    // After the start's own check: reading this arrow loads the plugins.
    void overflowArrowOnFirstUse()
    {
        ApplicationStyle style;
        QScopedPointer<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        const QStyle::StandardPixmap arrow = QStyle::SP_ToolBarHorizontalExtensionButton;
        const QImage drawn = style.standardIcon(arrow).pixmap(QSize(16, 16)).toImage();
        QVERIFY(!drawn.isNull());
        QCOMPARE(drawn, fusion->standardIcon(arrow).pixmap(QSize(16, 16)).toImage());
    }

    void languageBackOnEveryWayOut()
    {
        QProcess lirro;
        QVERIFY(startLirro(lirro, QStringLiteral("ru_RU.UTF-8")));
        QCOMPARE(support::readFile(LanguageFile), QByteArray("export LANG=en_US.UTF-8"));
        QVERIFY(endLirro(lirro, SIGTERM));
        QCOMPARE(support::readFile(LanguageFile), QByteArray("export LANG=ru_RU.UTF-8"));

        // Killed: English stays until the next start, which finds the
        // owner's language saved and puts it back at its own end.
        QVERIFY(startLirro(lirro, QStringLiteral("de_DE.UTF-8")));
        QVERIFY(endLirro(lirro, SIGKILL));
        QCOMPARE(support::readFile(LanguageFile), QByteArray("export LANG=en_US.UTF-8"));
        QVERIFY(startLirro(lirro, QStringLiteral("en_US.UTF-8")));
        QVERIFY(endLirro(lirro, SIGSEGV));
        QCOMPARE(support::readFile(LanguageFile), QByteArray("export LANG=de_DE.UTF-8"));
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
