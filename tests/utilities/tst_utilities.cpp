// The device chores as the owner reaches them through the main window: the
// two dialogs with their keys and taps, what they store and send, moving
// fonts and dictionaries, the boot splash on the boot medium, cleaning the
// recent documents and the About text.

#include "app/mainwindow.h"
#include "platform/cms/contentmanager.h"
#include "platform/sys/systemconfig.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/sql.h"
#include "utilities/service_select_dialog.h"
#include "utilities/splash.h"

#include <QAbstractSpinBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QJsonArray>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

const QString ConfigDb = QStringLiteral("/root/system_config.db");
const QString ContentDb = QStringLiteral("/root/content.db");
const QString Medium = QStringLiteral("/dev/mmcblk0");
const qint64 SplashOffset = 1048576;
const QString RebootLog = QStringLiteral("/tmp/stubs/reboot.log");

// Keys and taps on a dialog's focused widget: U D L R the arrows, K Return,
// E Escape; < > | a tap on the left end, the right end or the middle.
void operate(QDialog* dialog, const QString& steps)
{
    static const QMap<QChar, Qt::Key> keys{ { 'U', Qt::Key_Up }, { 'D', Qt::Key_Down },
                                            { 'L', Qt::Key_Left }, { 'R', Qt::Key_Right },
                                            { 'K', Qt::Key_Return }, { 'E', Qt::Key_Escape } };
    // Return and Escape are the window's shortcuts: it must hold the keys.
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    for (const QChar step : steps) {
        QWidget* focus = dialog->focusWidget();
        if (keys.contains(step) && step != 'K' && step != 'E')
            QTest::keyRelease(focus, keys.value(step));
        else if (keys.contains(step))
            QTest::keyClick(focus, keys.value(step));
        else
            QTest::mousePress(focus, Qt::LeftButton, {},
                              QPoint(QString("<|>").indexOf(step) * (focus->width() - 2) / 2 + 1,
                                     focus->height() / 2));
    }
}

QStringList texts(const QList<support::ModalSeen>& seen)
{
    QStringList result;
    for (const support::ModalSeen& s : seen)
        result << s.title + QLatin1Char('|') + s.text;
    return result;
}

} // namespace

class TestUtilities : public QObject
{
    Q_OBJECT

    support::SystemManager systemManager;
    MainWindow* window = nullptr;

    QStringList callsSince(int first)
    {
        QStringList result;
        const QList<QJsonObject> calls = systemManager.calls();
        for (int i = first; i < calls.size(); ++i) {
            QStringList args;
            for (const QJsonValue& arg : calls.at(i).value("args").toArray())
                args << arg.toVariant().toString();
            result << calls.at(i).value("method").toString() + "(" + args.join(",") + ")";
        }
        return result;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(systemManager.start());
        // A reboot that only says it was asked for.
        QVERIFY(support::writeFile("/tmp/stubs/reboot", "#!/bin/sh\necho reboot >>" +
                                   RebootLog.toLatin1() + "\n", 0755));
        qputenv("PATH", "/tmp/stubs:" + qgetenv("PATH"));
        qputenv("LANG", "ru_RU.UTF-8");
        window = new MainWindow;
    }

    void cleanupTestCase() { delete window; }

    void intervals_data()
    {
        QTest::addColumn<int>("suspend");
        QTest::addColumn<int>("shutdown");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("calls");
        const int Minute = 60000;
        QTest::newRow("nothing stored") << -1 << -1 << "K" << "5 min|disable"
            << QStringList{ "setSuspendInterval(300000)", "setShutdownInterval(0)" };
        QTest::newRow("minute and a half") << 90000 << 0 << "K" << "1 min|disable"
            << QStringList{ "setSuspendInterval(60000)", "setShutdownInterval(0)" };
        QTest::newRow("negative, above 999") << -5 << 1000 * Minute << "K" << "disable|999 min"
            << QStringList{ "setSuspendInterval(0)", "setShutdownInterval(59940000)" };
        QTest::newRow("wrap both ways") << 999 * Minute << 0 << "URDK" << "disable|999 min"
            << QStringList{ "setSuspendInterval(0)", "setShutdownInterval(59940000)" };
        QTest::newRow("taps on the ends") << 5 * Minute << 5 * Minute << "<<|L>K" << "7 min|4 min"
            << QStringList{ "setSuspendInterval(420000)", "setShutdownInterval(240000)" };
        QTest::newRow("escape") << 5 * Minute << 0 << "UUE" << "7 min|disable" << QStringList();
    }

    void intervals()
    {
        QFETCH(int, suspend);
        QFETCH(int, shutdown);
        QFETCH(QString, steps);
        QFile::remove(ConfigDb);
        qunsetenv("SUSPEND_INTERVAL");
        if (suspend != -1) {
            sys::SystemConfig config;
            QVERIFY(config.setSuspendInterval(suspend) && config.setShutdownInterval(shutdown));
        }
        const QStringList stored = support::sqlRows(ConfigDb, "select * from power_management");
        const int before = systemManager.calls().size();
        support::ModalDriver driver;
        QString shown;
        driver.actions << [&](QDialog* dialog) {
            const QList<QAbstractSpinBox*> boxes = dialog->findChildren<QAbstractSpinBox*>();
            operate(dialog, steps.chopped(1));
            shown = boxes.at(0)->text() + "|" + boxes.at(1)->text();
            operate(dialog, steps.right(1));
        };
        window->setSSTimes();
        QCOMPARE(driver.seen.value(0).title, QStringLiteral("Set time intervals"));
        QTEST(shown, "shown");
        QTEST(callsSince(before), "calls");
        QFETCH(QStringList, calls);
        const QStringList rows = support::sqlRows(
            ConfigDb, "select value from power_management order by key desc");
        if (calls.isEmpty())
            QCOMPARE(support::sqlRows(ConfigDb, "select * from power_management"), stored);
        else
            QCOMPARE(rows.join(","), calls.join(",").remove(QRegularExpression("[^0-9,]")));
    }

    void bindings_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("txt");
        QTest::newRow("nothing stored") << "" << "" << "txt" << "vexa_reader";
        QTest::newRow("unknown stored") << "com.example.other" << "" << "txt" << "vexa_reader";
        QTest::newRow("editor stored") << "com.vexa.service.text_editor" << "" << "txt"
                                       << "text_editor";
        QTest::newRow("up from the first") << "" << "U" << "txt" << "office_viewer";
        QTest::newRow("down from the last") << "com.vexa.service.office_viewer" << "D" << "txt"
                                            << "vexa_reader";
        QTest::newRow("rtf has one") << "" << "RUD" << "rtf" << "vexa_reader";
        QTest::newRow("left wraps") << "" << "LDLL" << "txt" << "vexa_reader";
        QTest::newRow("right wraps") << "" << "RRRU" << "txt" << "office_viewer";
    }

    void bindings()
    {
        QFETCH(QString, stored);
        QFETCH(QString, txt);
        QFile::remove(ConfigDb);
        sys::SystemConfig().close();
        if (!stored.isEmpty())
            support::sqlRows(ConfigDb, "insert into services (extension, service) values "
                                       "('txt', ?)", { stored });
        {
            SERVICE_SELECT_DIALOG dialog(window);
            dialog.show();
            QFETCH(QString, steps);
            operate(&dialog, steps);
            QTEST(dialog.focusWidget()->property("title").toString(), "focused");
            const QStringList names{ "vexa_reader", "text_editor", "office_viewer" };
            for (QGroupBox* selector : dialog.findChildren<QGroupBox*>()) {
                const QList<QRadioButton*> buttons = selector->findChildren<QRadioButton*>();
                QCOMPARE(buttons.size(), selector->title() == "txt" ? 3 : 1);
                for (int i = 0; i < buttons.size(); ++i)
                    QCOMPARE(buttons.at(i)->isChecked(),
                             names.at(i) == (selector->title() == "txt" ? txt : "vexa_reader"));
            }
            dialog.save();
        }
        const QString row("%1|com.vexa.service.%2|/com/vexa/object/%2|com.vexa.interface.%2|open|%2");
        QCOMPARE(support::sqlRows(ConfigDb, "select * from services order by extension"),
                 QStringList({ row.arg("mobi", "vexa_reader"), row.arg("rtf", "vexa_reader"),
                               row.arg("txt", txt) }));
    }
};

QTEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
