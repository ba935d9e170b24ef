#include "platform/sys/localeconfig.h"
#include "support/sandbox.h"
#include "platform/sys/systemconfig.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using sys::LocaleConfig;
using sys::SystemConfig;

namespace {
QByteArray languageFile()
{
    QFile f("/root/Settings/language");
    if (!f.open(QIODevice::ReadOnly))
        return "MISSING";
    return f.readAll();
}
}

class TestLocaleConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QCOMPARE(LocaleConfig::languageFilePath(), QString("/root/Settings/language"));
        QVERIFY(QDir().mkpath("/root/Settings"));
    }

    void switchWritesLanguageFile()
    {
        QVERIFY(SystemConfig::setLocale(QLocale(QLocale::Russian, QLocale::Russia)));
        QCOMPARE(qgetenv("LANG"), QByteArray("ru_RU.UTF-8"));
        QCOMPARE(qgetenv("LC_ALL"), QByteArray("ru_RU.UTF-8"));
        QCOMPARE(QLocale().name(), QString("ru_RU"));
        QCOMPARE(languageFile(), QByteArray("export LANG=ru_RU.UTF-8"));

        // A shorter name leaves nothing of the longer one behind.
        QVERIFY(SystemConfig::setLocale(QLocale(QLocale::English, QLocale::UnitedStates)));
        QCOMPARE(qgetenv("LANG"), QByteArray("en_US.UTF-8"));
        QCOMPARE(QLocale().name(), QString("en_US"));
        QCOMPARE(languageFile(), QByteArray("export LANG=en_US.UTF-8"));
        // No temporary file is left next to it.
        QCOMPARE(QDir("/root/Settings").entryList(QDir::Files), QStringList("language"));
    }

    void restoresSavedLang()
    {
        QCOMPARE(LocaleConfig::localeFromLang("ru_RU.UTF-8").name(), QString("ru_RU"));
        QCOMPARE(LocaleConfig::localeFromLang("de_DE").name(), QString("de_DE"));
        QCOMPARE(LocaleConfig::localeFromLang(QString()).name(), QString("C"));

        QVERIFY(SystemConfig::setLocale(QLocale(QLocale::English, QLocale::UnitedStates)));
        QVERIFY(SystemConfig::restoreLocale("de_DE.UTF-8"));
        QCOMPARE(qgetenv("LANG"), QByteArray("de_DE.UTF-8"));
        QCOMPARE(languageFile(), QByteArray("export LANG=de_DE.UTF-8"));

        // LANG unset at start: the locale made from an empty name.
        QVERIFY(SystemConfig::restoreLocale(QString()));
        QCOMPARE(qgetenv("LANG"), QByteArray("C.UTF-8"));
        QCOMPARE(languageFile(), QByteArray("export LANG=C.UTF-8"));
    }

    void unwritableFileStillSwitchesProcess()
    {
        QVERIFY(SystemConfig::setLocale(QLocale(QLocale::English, QLocale::UnitedStates)));
        QVERIFY(QFile::remove("/root/Settings/language"));
        QVERIFY(QDir().mkdir("/root/Settings/language"));  // a directory in its place

        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Could not (open|write) /root/Settings/language"));
        QVERIFY(!SystemConfig::setLocale(QLocale(QLocale::French, QLocale::France)));
        QCOMPARE(qgetenv("LANG"), QByteArray("fr_FR.UTF-8"));
        QCOMPARE(QLocale().name(), QString("fr_FR"));
        QVERIFY(QFileInfo("/root/Settings/language").isDir());
        QVERIFY(QDir("/root/Settings/language").isEmpty());

        QVERIFY(QDir("/root/Settings/language").removeRecursively());
        QVERIFY(QDir("/root/Settings").removeRecursively());
        QTest::ignoreMessage(QtWarningMsg,
                             "Could not open /root/Settings/language for writing");
        QVERIFY(!SystemConfig::setLocale(QLocale(QLocale::German, QLocale::Germany)));
        QCOMPARE(qgetenv("LANG"), QByteArray("de_DE.UTF-8"));
        QVERIFY(QDir().mkpath("/root/Settings"));
    }
};

QTEST_GUILESS_MAIN(TestLocaleConfig)
#include "tst_localeconfig.moc"
