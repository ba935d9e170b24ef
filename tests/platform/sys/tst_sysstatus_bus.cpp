// The system manager client against the stand-in on a private system bus.

#include "platform/sys/sysstatus.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/warnings.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using sys::SysStatus;
using support::SystemManager;

namespace {

// The bool operations, each with the call it must send.
QList<QPair<QString, std::function<bool()>>> boolOperations()
{
    SysStatus& s = SysStatus::instance();
    return {{"setSuspendInterval[300000]", [&s] { return s.setSuspendInterval(300000); }},
            {"setShutdownInterval[1200000]", [&s] { return s.setShutdownInterval(1200000); }},
            {"sdioState[]", [&s] { return s.sdioState(); }},
            {"startWpaSupplicant[\"/etc/wpa.conf\"]", [&s] { return s.startWpaSupplicant("/etc/wpa.conf"); }},
            {"acquireAddress[true]", [&s] { return s.acquireAddress(true); }},
            {"stopWpaSupplicant[]", [&s] { return s.stopWpaSupplicant(); }},
            {"enableSdio[false]", [&s] { return s.enableSdio(false); }}};
}

// Each call the service received, as method and arguments.
QStringList received(const SystemManager& service)
{
    QStringList calls;
    for (const QJsonObject& call : service.calls())
        calls << call.value("method").toString()
                     + QJsonDocument(call.value("args").toArray()).toJson(QJsonDocument::Compact);
    return calls;
}

} // namespace

class SysStatusBusTest : public QObject
{
    Q_OBJECT

    SystemManager service;

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        support::Warnings warnings;
        SysStatus::instance().listen();
        QCOMPARE(warnings.lines, QStringList()); // every subscription succeeded
    }

    void cleanup() { service.stop(); }

    void callsArriveAsSent()
    {
        QVERIFY(service.start({"--sdio", "--battery", "57", "--battery-status", "2"}));
        SysStatus& s = SysStatus::instance();
        QSignalSpy longPress(&s, &SysStatus::mouseLongPress);
        QStringList expected{"setSystemBusy[true,true]"};
        s.setSystemBusy(true, true);
        for (const auto& op : boolOperations()) {
            QVERIFY2(op.second(), qPrintable(op.first));
            expected << op.first;
        }
        int left = -1, status = -1;
        QVERIFY(s.batteryStatus(left, status));
        QCOMPARE(QPoint(left, status), QPoint(57, 2));
        expected << "batteryStatus[]";
        QTRY_COMPARE(received(service), expected);

        QVERIFY(SystemManager::control({"emit", "mouseLongPress", "10", "20", "30", "40"}));
        QTRY_COMPARE(longPress.count(), 1);
        QCOMPARE(longPress.at(0), (QVariantList{QPoint(10, 20), QSize(30, 40)}));
    }

    void replyRules_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("warningsEach");
        QTest::newRow("no arguments") << "empty" << 0;
        QTest::newRow("error reply") << "error" << 1;
        QTest::newRow("short battery reply") << "partial" << 0;
    }

    void replyRules()
    {
        QFETCH(QString, mode);
        QFETCH(int, warningsEach);
        QVERIFY(service.start({"--sdio"}));
        const auto operations = boolOperations();
        for (const auto& op : operations) {
            QVERIFY(SystemManager::control({"mode", op.first.section('[', 0, 0), mode}));
            support::Warnings warnings;
            QVERIFY2(!op.second(), qPrintable(op.first));
            QCOMPARE(warnings.lines.size(), warningsEach);
        }
        QVERIFY(SystemManager::control({"mode", "batteryStatus", mode}));
        int left = -7, status = -8;
        QVERIFY(!SysStatus::instance().batteryStatus(left, status));
        QCOMPARE(QPoint(left, status), QPoint(-7, -8));
        QCOMPARE(received(service).size(), operations.size() + 1);
    }

    void absentOrStalledServiceFreezesNothing()
    {
        // Absent: every call fails at once, each error reported but busy's.
        support::Warnings warnings;
        QElapsedTimer clock;
        clock.start();
        for (const auto& op : boolOperations())
            QVERIFY(!op.second());
        SysStatus::instance().setSystemBusy(false, true);
        QCOMPARE(warnings.lines.size(), boolOperations().size());
        QVERIFY(clock.elapsed() < 5000);

        // Stalled: busy is not waited for at all, other calls not for the
        // bus's 25 s.
        QVERIFY(service.start({"--sdio"}));
        QVERIFY(SystemManager::control({"mode", "setSystemBusy", "silent"}));
        QVERIFY(SystemManager::control({"mode", "sdioState", "silent"}));
        clock.restart();
        for (int i = 0; i < 10; ++i)
            SysStatus::instance().setSystemBusy(i % 2 == 0, true);
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!SysStatus::instance().sdioState());
        QVERIFY(clock.elapsed() < 10000);
        QTRY_COMPARE(service.calls().size(), 11);
    }
};

QTEST_GUILESS_MAIN(SysStatusBusTest)
#include "tst_sysstatus_bus.moc"
