// The real lirro on the emulated device: a script and a ZIP archive started
// from the list with the device's keys, and every window they bring up seen
// on the panel and gone from it again.
#include "e2e/devicesession.h"
#include "support/sandbox.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include "programtestutil.h"

namespace {

const QString Flash = QStringLiteral("/media/flash");

} // namespace

#define PANEL_MATCHES(device, step)                                            \
    do {                                                                       \
        QString why_;                                                          \
        QVERIFY2((device).panelMatches(QStringLiteral(step), &why_), qPrintable(why_)); \
    } while (false)

class ProgramsEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void scriptAndArchive()
    {
        REQUIRE_SANDBOX();
        // Only our two entries in the flash: the script first, the archive second.
        for (const QFileInfo& entry : QDir(Flash).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                                | QDir::Hidden | QDir::System)) {
            if (entry.isDir() && !entry.isSymLink())
                QVERIFY(QDir(entry.filePath()).removeRecursively());
            else
                QVERIFY(QFile::remove(entry.filePath()));
        }
        QVERIFY(writeFile(Flash + QStringLiteral("/a lines.sh"),
                          "#!/bin/sh\ni=1\nwhile [ $i -le 100 ]; do echo \"line $i\"; i=$((i+1)); done\n",
                          Executable));
        QVERIFY(writeFile(Flash + QStringLiteral("/b.zip"), makeZip({ { "chapter.txt", "one" } })));

        DeviceSession device;
        QVERIFY2(device.start(), qPrintable(device.lastError()));
        QVERIFY2(device.waitForTitle(Flash), qPrintable(device.title()));
        PANEL_MATCHES(device, "start");

        // OK on the script: its output comes up when it ends, and Back
        // closes it.
        QVERIFY(device.key(QStringLiteral("Return")));
        QVERIFY(device.waitForWindow(QStringLiteral("Program output")));
        PANEL_MATCHES(device, "script output shown");
        QVERIFY(device.key(QStringLiteral("Escape")));
        QVERIFY(device.waitForWindow(QStringLiteral("Program output"), false));
        PANEL_MATCHES(device, "script output closed");
        QCOMPARE(device.title(), Flash);

        // OK on the archive, then OK on the question's default, Yes: the
        // archive is extracted into b, which is then shown.
        QVERIFY(device.key(QStringLiteral("Down")));
        QVERIFY(device.key(QStringLiteral("Return")));
        QVERIFY(device.waitForWindow(QStringLiteral(".zip file activated")));
        PANEL_MATCHES(device, "question shown");
        QVERIFY(device.key(QStringLiteral("Return")));
        QVERIFY(device.waitForWindow(QStringLiteral("Program output")));
        QVERIFY2(device.waitForTitle(Flash + QStringLiteral("/b")), qPrintable(device.title()));
        QCOMPARE(readFile(Flash + QStringLiteral("/b/chapter.txt")), QByteArray("one"));
        PANEL_MATCHES(device, "unzip output shown");
        QVERIFY(device.key(QStringLiteral("Escape")));
        QVERIFY(device.waitForWindow(QStringLiteral("Program output"), false));
        PANEL_MATCHES(device, "unzip output closed");
        device.stop();
    }
};

QTEST_MAIN(ProgramsEndToEnd)
#include "tst_programs_e2e.moc"
