// The remote share: its settings file, the settings dialog, the scripts that
// mount and synchronise it whatever the settings hold, and the main window's
// share commands against the device's stand-ins.
#include "app/mainwindow.h"
#include "browser/fs_view.h"
#include "fileops/runcommandsync.h"
#include "share/cifssettings.h"
#include "share/sharescripts.h"
#include "share/shellformat.h"
#include "share/writescript.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

namespace {

using Record = QVariantMap;
const QString SettingsFile = QStringLiteral("/root/lirro/cifs.server");
const QString Server = QStringLiteral("/tmp/lirro-share/192.168.0.10");
// What a shell could take for its own, with no line feed (the emulated
// server's password file is made of lines).
const QString Password = QStringLiteral("a b;touch /tmp/pwned $(reboot) `reboot` \"q\" 'q' \\ * ~");
// server_sync "", server "X", anonimous true.
const QByteArray Golden = QByteArray::fromHex("00000003 00000016007300650072007600650072005f00730079006e0063 0000000a00 00000000 "
                                               "0000000c007300650072007600650072 0000000a00 000000020058 "
                                               "000000120061006e006f006e0069006d006f00750073 0000000100 01");

CIFSSettings settingsOf(const Record& record)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << record;
    CIFSSettings settings;
    settings.decode(bytes);
    return settings;
}

bool noCommandRan()
{
    return !QFile::exists("/tmp/pwned") && !QFile::exists("/tmp/lirro-device/reboot.log");
}

} // namespace

class ShareTest : public QObject
{
    Q_OBJECT

    support::SystemManager systemManager;

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(systemManager.start({ "--sdio", "--sdio-locked" }));
    }

    void shellValues_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("printed"); // V: the value
        QTest::newRow("bare") << "printf '[%s]' %1 %2 z" << "[V][][z]";
        QTest::newRow("in a word") << "printf '[%s]' x%1y%2" << "[xVy]";
        QTest::newRow("double quotes") << "printf '[%s]' \"x%1y\"" << "[xVy]";
        QTest::newRow("single quotes") << "printf '[%s]' 'x%1y'" << "[xVy]";
        QTest::newRow("substitution") << "printf '[%s]' \"$(printf %s \"x%1\")\"y" << "[xVy]";
        QTest::newRow("back quotes") << "printf '[%s]' \"`printf %s x%1`\"y" << "[xVy]";
        QTest::newRow("comment") << "printf '[%s]' x # %1" << "[x]";
        QTest::newRow("backslash") << "printf '[%s]' \\%1 %7" << "[V][%7]";
    }

    void shellValues()
    {
        QFETCH(QString, format);
        QFETCH(QString, printed);
        const QString value = Password + "\necho x";
        QCOMPARE(runCommandSync(QStringList{ "sh", "-c", shellFormat(format, { value, QString() }) }), printed.replace("V", value));
        QVERIFY(noCommandRan());
    }

    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Record>("record"); // empty: the load fails
        QTest::newRow("golden") << Golden << Record{ { "server_sync", "" }, { "server", "X" }, { "anonimous", true } };
        QTest::newRow("null string") << QByteArray::fromHex("00000001 000000020061 0000000a00 ffffffff") << Record{ { "a", QString() } };
        QTest::newRow("count only") << QByteArray(4, 0) << Record();
        QTest::newRow("truncated") << Golden.chopped(1) << Record();
        QTest::newRow("4 billion entries") << QByteArray::fromHex("ffffffff") + Golden.mid(4) << Record();
        QTest::newRow("string beyond the end") << QByteArray::fromHex("000000017ffffffe0061") << Record();
        // Read two bytes short, the rest would make a null string "a".
        QTest::newRow("odd string length") << QByteArray::fromHex("00000001 00000003 0061 0000000a 00 ffffffff") << Record();
        QTest::newRow("a list") << QByteArray::fromHex("00000001 000000020061 0000000900 00000000") << Record();
        QTest::newRow("a user type") << QByteArray::fromHex("00000001 000000020061 0000007f00 00000001 00") << Record();
    }

    void settingsFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Record, record);
        QVERIFY(support::writeFile(SettingsFile, bytes));
        CIFSSettings settings;
        QCOMPARE(settings.load(), bytes.size() == 4 || !record.isEmpty());
        QCOMPARE(settings.properties(), record);
        QCOMPARE(support::readFile(SettingsFile), bytes); // loading never writes
        if (!record.isEmpty()) { // written back byte for byte
            QVERIFY(QFile::remove(SettingsFile) && settings.save());
            QCOMPARE(support::readFile(SettingsFile), bytes);
            QCOMPARE(support::modeOf(SettingsFile), 0600);
        }
    }

    void fuzzedSettings()
    {
        CIFSSettings settings;
        settings.setDefaults();
        const QByteArray base = settings.encode();
        QRandomGenerator random(11);
        for (int i = 0; i < 5000; ++i) {
            QByteArray bytes = base;
            for (int n = random.bounded(1, 5); n > 0; --n)
                bytes[random.bounded(bytes.size())] = char(random.bounded(256));
            bytes.truncate(random.bounded(4) ? bytes.size() : random.bounded(bytes.size()));
            QVERIFY(settings.decode(bytes) || settings.properties().isEmpty());
        }
    }

    void dialog_data()
    {
        QTest::addColumn<int>("ending"); // a key released, or 0 for OK
        QTest::addColumn<bool>("saved");
        QTest::newRow("OK") << 0 << true;
        QTest::newRow("Back") << int(Qt::Key_Escape) << false;
        QTest::newRow("Menu") << int(Qt::Key_Menu) << false;
    }

    void dialog()
    {
        QFETCH(int, ending);
        QFETCH(bool, saved);
        QFile::remove(SettingsFile);
        QVERIFY(QDir().mkpath(ShareMountRoot)); // an unmount removes it
        MainWindow window;
        support::ModalDriver driver;
        QStringList seen; // what the dialog showed, checked once it is closed
        driver.actions << [ending, &seen](QDialog* d) {
            const auto edit = [d](const char* name) { return d->findChild<QLineEdit*>(name); };
            const auto named = [&] { return QString::number(edit("loginEdit")->isEnabled() + edit("passwordEdit")->isEnabled()); };
            seen << edit("dirListEdit")->text() << named();
            QTest::mouseClick(d->findChild<QCheckBox*>(), Qt::LeftButton, {}, QPoint(10, 10));
            (void)QTest::qWaitFor([&] { return named() == "2"; });
            seen << named();
            // Keys reach the field last focused, whatever has the focus.
            edit("loginEdit")->setFocus();
            d->setFocus();
            QTest::keyClicks(d, "al");
            ending ? QTest::keyRelease(d, Qt::Key(ending)) : d->findChild<QPushButton*>("okButton")->click();
        };
        QCOMPARE(window.newZorUdu(), saved);
        QCOMPARE(QFile::exists(ShareMountRoot), !saved);
        QCOMPARE(seen, (QStringList{ "first_shared_dir:second_shared_dir:Dropbox", "0", "2" }));
        CIFSSettings settings;
        QCOMPARE(settings.load(), saved);
        if (saved) // all eight keys, the empty ones too
            QCOMPARE(settings.properties(), (Record{ { "anonimous", false }, { "client_sync", "downloads/sync_dir:downloads/Dropbox" }, { "domain", "" },
                                                     { "dir_list", "first_shared_dir:second_shared_dir:Dropbox" }, { "login", "al" }, { "password", "" },
                                                     { "server", "192.168.0.10" }, { "server_sync", "first_shared_dir/sync_dir:Dropbox" } }));
    }

    void scripts_data()
    {
        QTest::addColumn<QString>("dirList");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("script"); // mount commands and rsync lines, or the error
        const QString mount = "mount.cifs //X/%1 /mnt/ZorUdu/%1 -o %2nostrictsync,noserverino,iocharset=utf8,user=%3,pass=%4\n";
        const QString rsync = "rsync -auh8 --stats --modify-window=3 \"/mnt/ZorUdu/%1/\" \"/media/flash/%2/\"\n"
                              "rsync -auh8 --stats --modify-window=3 \"/media/flash/%2/\" \"/mnt/ZorUdu/%1/\"\n";
        QTest::newRow("defaults") << "Dropbox" << "" << "first_shared_dir/sync_dir:Dropbox" << "downloads/sync_dir:downloads/Dropbox"
                                  << mount.arg("Dropbox", "guest,", "", "") + rsync.arg("first_shared_dir/sync_dir", "downloads/sync_dir")
                                         + rsync.arg("Dropbox", "downloads/Dropbox");
        QTest::newRow("domain, empty items") << "a::b:" << "D" << "a::b" << "x:y:z"
                                             << mount.arg("a", "domain=D,", "L", "P") + mount.arg("b", "domain=D,", "L", "P")
                                                    + rsync.arg("a", "x") + rsync.arg("b", "z");
        QTest::newRow("no names, no mounts") << ":.:..:c/d" << "" << "a:b" << "x"
                                             << "Number of server dirs is not equal to number of client dirs.\nServer dirs: 2\nClient dirs: 1";
        QTest::newRow("no sync dirs") << "" << "" << "" << "" << "Sync dirs are not defined";
    }

    void scripts()
    {
        QFETCH(QString, dirList);
        QFETCH(QString, domain);
        QFETCH(QString, server);
        QFETCH(QString, client);
        QFETCH(QString, script);
        const bool named = !domain.isEmpty();
        const CIFSSettings settings = settingsOf({ { "server", "X" }, { "dir_list", dirList }, { "domain", domain }, { "anonimous", !named },
                                                   { "login", named ? "L" : "" }, { "password", named ? "P" : "" },
                                                   { "server_sync", server }, { "client_sync", client } });
        QString lines;
        for (const QString& line : mountScriptBody(settings, mountCommandFormat()).split('\n'))
            lines += line.startsWith("mount.cifs") ? line + '\n' : QString();
        QString rsync, error;
        QCOMPARE(syncScriptBody(settings, &rsync, &error) ? lines + rsync : lines + error, script);
        if (dirList.isEmpty()) {
            QCOMPARE(mountScriptBody(settings, QString()), QString("mkdir /mnt/ZorUdu\nchmod 0777 /mnt/ZorUdu\n\nchmod 0555 /mnt/ZorUdu\n"));
            QCOMPARE(support::readFile("/root/lirro/cifs.cmdfmt"), mountCommandFormat().toUtf8());
        }
    }

    // A share with a blank in its name, a password a shell would run, and a
    // sync item with a double quote, through the stand-ins and real rsync;
    // beside it an earlier mount of Dropbox, whose new mount fails, and a
    // link planted where the mount script goes.
    void mountSyncUnmount()
    {
        QVERIFY(support::writeFile(Server + "/my share/q\"uote/book.txt", "book"));
        QVERIFY(support::writeFile(Server + "/.access/my share", ("alice:" + Password + '\n').toUtf8()));
        QVERIFY(support::writeFile(Server + "/.access/Dropbox", "bob:x\n"));
        const QMap<QString, QByteArray> server = support::treeOf(Server);
        QVERIFY(QDir().mkpath("/mnt/ZorUdu/Dropbox"));
        QCOMPARE(QProcess::execute("mount", { "--bind", Server + "/Dropbox", "/mnt/ZorUdu/Dropbox" }), 0);
        const CIFSSettings settings = settingsOf({ { "server", "192.168.0.10" }, { "dir_list", "my share:Dropbox:..:a/b" }, { "domain", "x y" },
                                                   { "anonimous", false }, { "login", "alice" }, { "password", Password },
                                                   { "server_sync", "my share/q\"uote" }, { "client_sync", "my dir" } });
        QVERIFY(settings.save());
        MainWindow window;
        QVERIFY(support::writeFile("/root/target", "kept") && QFile::link("/root/target", MountScriptPath));
        QVERIFY(window.writeMountScript(settings));
        QVERIFY(support::readFile("/root/target") == "kept" && support::modeOf(MountScriptPath) == 0755);
        QProcess::execute("sh", { MountScriptPath });
        const QList<QJsonObject> mounts = support::readJsonLines("/tmp/lirro-device/mount.cifs.log");
        QCOMPARE(mounts.size(), 2);
        QCOMPARE(mounts.value(0).value("args").toVariant().toStringList(),
                 (QStringList{ "//192.168.0.10/my share", "/mnt/ZorUdu/my share", "-o",
                               "domain=x y,nostrictsync,noserverino,iocharset=utf8,user=alice,pass=" + Password }));
        QCOMPARE(mounts.value(0).value("status").toInt() + mounts.value(1).value("status").toInt(), 32);

        window.checkZorUduMount(123);
        QCOMPARE(window.fsView()->dir.path(), QString(ShareMountRoot));
        QCOMPARE(QProcess::execute("umount", { "/mnt/ZorUdu/Dropbox" }), 0);
        window.checkZorUduMount(123);
        QCOMPARE(window.fsView()->dir.path(), QString("/mnt/ZorUdu/my share"));
        support::ModalDriver driver;
        window.syncZorUdu();
        QCOMPARE(support::readFile("/media/flash/my dir/book.txt"), QByteArray("book"));

        // A program still working inside the share keeps it mounted, and whole.
        QProcess reader;
        reader.setWorkingDirectory("/mnt/ZorUdu/my share");
        reader.start("sleep", { "60" });
        QVERIFY(reader.waitForStarted());
        window.unmountZorUdu();
        QCOMPARE(shareMounts(runCommandSync(QStringLiteral("mount"))), QStringList{ "/mnt/ZorUdu/my share" });
        reader.kill();
        QVERIFY(reader.waitForFinished() && QProcess::execute("umount", { "/mnt/ZorUdu/my share" }) == 0);
        window.unmountZorUdu();
        QVERIFY(!QFile::exists(ShareMountRoot));
        QCOMPARE(support::treeOf(Server), server); // nothing removed or written at any step
        QVERIFY(noCommandRan());
    }
};

QTEST_MAIN(ShareTest)
#include "tst_share.moc"
