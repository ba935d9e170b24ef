// The Wi-Fi dialog on the emulated device's Wi-Fi (the system manager and
// wpa_supplicant stand-ins): what it lists, what it says, what it asks.
#include "network/wifidialog.h"
#include "network/wpaconnectionmanager.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString WifiLog = QStringLiteral("/root/wifi.log");

// The bars filled in a row's icon, and whether it shows the lock.
QPair<int, bool> iconOf(const QListWidgetItem* item)
{
    const QImage image = item->icon().pixmap(64, 32).toImage();
    int bars = 0;
    for (int i = 0; i < 4; ++i)
        bars += image.pixelColor(7 + 10 * i, 28) == Qt::black;
    return {bars, image.pixelColor(53, 22) == Qt::black};
}

// Answers the keyboard prompts, in turn: a password, or none to cancel.
void answer(support::ModalDriver& driver, const QStringList& passwords)
{
    driver.actions << [](QDialog*) {}; // the Wi-Fi dialog itself stays
    for (const QString& password : passwords) {
        driver.actions << [password](QDialog* dialog) {
            auto* prompt = static_cast<ui::VexaKeyboardDialog*>(dialog);
            prompt->lineEdit()->setText(password);
            prompt->accept();
        };
    }
}

} // namespace

class WifiDialogTest : public QObject
{
    Q_OBJECT

    support::SystemManager systemManager;

    bool openOn(ui::WifiDialog& dialog, const QStringList& options)
    {
        if (!systemManager.start(support::SystemManager::wifiOptions(WifiLog) + options))
            return false;
        dialog.show();
        return QTest::qWaitFor([&] {
            return !dialog.shownState().isEmpty() && dialog.shownState() != "Scanning...";
        }, 10000);
    }

    // OK on a row, with the device's key.
    static void choose(ui::WifiDialog& dialog, int row)
    {
        dialog.accessPoints()->setCurrentRow(row);
        QTest::keyClick(&dialog, Qt::Key_Return);
    }

private slots:
    void init()
    {
        REQUIRE_SANDBOX();
        QCOMPARE(QProcess::execute(qEnvironmentVariable("LIRRO_SOURCE_DIR") + "/emulator/wifi/wifi-device",
                                   {"stop"}),
                 0);
        QFile::remove(sys::SystemConfig::databasePath());
    }

    void cleanup() { systemManager.stop(); }

    // The access points with their signal and lock, then a way to scan
    // again; a wrong key says so and is asked for again; the right one
    // connects and closes the dialog with a connection.
    void chooseAndConnect()
    {
        ui::WifiDialog dialog(nullptr, sys::SysStatus::instance());
        support::ModalDriver driver;
        answer(driver, {"qwertyui", "battery staple"});
        QSignalSpy closed(&dialog, &QDialog::finished);
        QVERIFY(openOn(dialog, {"--sdio"}));
        QCOMPARE(dialog.shownState(), QStringLiteral("Ready"));
        QListWidget* list = dialog.accessPoints();
        QStringList rows;
        QList<QPair<int, bool>> icons;
        for (int i = 0; i < list->count(); ++i) {
            rows << list->item(i)->text();
            if (!list->item(i)->icon().isNull())
                icons << iconOf(list->item(i));
        }
        QCOMPARE(rows, (QStringList{"Café Libre", "HomeNet", "OldRouter", "Far Away", "Scan again"}));
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(icons, (QList<QPair<int, bool>>{{4, false}, {4, true}, {3, true}, {2, false}}));

        // Scan again keeps the cursor there.
        QSignalSpy states(dialog.manager(), &WpaConnectionManager::connectionChanged);
        choose(dialog, 4);
        QVERIFY(QTest::qWaitFor([&] {
            return !states.isEmpty() && states.last().at(1).toInt() == WpaConnection::StateReady;
        }, 10000));
        QCOMPARE(list->currentRow(), 4);

        choose(dialog, 1);
        QVERIFY(closed.wait(15000));
        QCOMPARE(closed.first().at(0).toInt(), int(QDialog::Accepted));
        QCOMPARE(dialog.shownState(), QStringLiteral("Connected: 192.168.0.57"));
        QStringList titles;
        for (const support::ModalSeen& seen : driver.seen)
            titles << seen.title;
        QCOMPARE(titles, (QStringList{"Wi-Fi", "Password for HomeNet", "Wrong password for HomeNet"}));
    }

    void states_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("radio off") << QStringList{"--sdio-locked"} << -1 << "Wifi is disabled.";
        QTest::newRow("never answers") << QStringList{"--sdio"} << 3 << "Timeout.";
        QTest::newRow("key not given") << QStringList{"--sdio"} << 2 << "Aborted.";
    }

    void states()
    {
        QFETCH(QStringList, options);
        QFETCH(int, row);
        QFETCH(QString, text);
        ui::WifiDialog dialog(nullptr, sys::SysStatus::instance());
        support::ModalDriver driver;
        answer(driver, {});
        QVERIFY(openOn(dialog, options));
        if (row >= 0)
            choose(dialog, row);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.shownState(), text, 10000);
        QVERIFY(dialog.isVisible());
    }
};

QTEST_MAIN(WifiDialogTest)
#include "tst_wifidialog.moc"
