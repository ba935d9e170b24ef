// The device's language after the real program ends in ways it can catch
// (a signal) and in a way it can't (a kill): the owner's language is back.
#include "support/files.h"
#include "support/processes.h"
#include "support/sandbox.h"

#include <QtTest>

#include <csignal>
#include <sys/stat.h>

using namespace support;

namespace {

const QString LanguageFile = QStringLiteral("/root/Settings/language");

ino_t fileInode()
{
    struct stat st;
    return ::stat(QFile::encodeName(LanguageFile).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private:
    // Starts lirro with LANG and waits until it has written the language file.
    bool start(QProcess& lirro, const QString& lang)
    {
        const ino_t before = fileInode();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LANG"), lang);
        lirro.setProcessEnvironment(env);
        lirro.start(buildProgram(QStringLiteral("src/lirro")), QStringList());
        return QTest::qWaitFor([&] { return fileInode() != before; }, 20000);
    }

    bool end(QProcess& lirro, int signal)
    {
        ::kill(pid_t(lirro.processId()), signal);
        return lirro.waitForFinished(20000);
    }

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void restoredOnEveryWayOut()
    {
        QProcess lirro;
        QVERIFY(start(lirro, QStringLiteral("ru_RU.UTF-8")));
        QCOMPARE(readFile(LanguageFile), QByteArray("export LANG=en_US.UTF-8"));
        QVERIFY(end(lirro, SIGTERM));
        QCOMPARE(readFile(LanguageFile), QByteArray("export LANG=ru_RU.UTF-8"));

        // Killed: English stays until the next start, which finds the
        // owner's language saved and puts it back at its own end.
        QVERIFY(start(lirro, QStringLiteral("de_DE.UTF-8")));
        QVERIFY(end(lirro, SIGKILL));
        QCOMPARE(readFile(LanguageFile), QByteArray("export LANG=en_US.UTF-8"));
        QVERIFY(start(lirro, QStringLiteral("en_US.UTF-8")));
        QVERIFY(end(lirro, SIGSEGV));
        QCOMPARE(readFile(LanguageFile), QByteArray("export LANG=de_DE.UTF-8"));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
