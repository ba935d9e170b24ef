#include "platform/sys/sysstatus.h"
#include "support/sandbox.h"
#include "systemmanagerprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

using sys::SysStatus;

namespace {

QStringList warnings;
QtMessageHandler previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg)
        warnings.append(text);
    previousHandler(type, context, text);
}

QDBusMessage control(const char* method, const QVariantList& args = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("com.vexa.service.system_manager"),
        QStringLiteral("/com/vexa/object/system_manager"),
        QStringLiteral("com.vexa.interface.system_manager_control"), QLatin1String(method));
    message.setArguments(args);
    return QDBusConnection::systemBus().call(message);
}

bool setMode(const QString& method, const QString& mode)
{
    return control("setMode", {method, mode}).type() == QDBusMessage::ReplyMessage;
}

QJsonObject serviceState()
{
    const QDBusMessage reply = control("state");
    return QJsonDocument::fromJson(reply.arguments().value(0).toString().toUtf8()).object();
}

QJsonObject call(const char* method, const char* sig, const QJsonArray& args)
{
    return {{QStringLiteral("method"), QLatin1String(method)},
            {QStringLiteral("sig"), QLatin1String(sig)},
            {QStringLiteral("args"), args}};
}

QJsonObject withoutStamps(QJsonObject entry)
{
    entry.remove(QStringLiteral("seq"));
    entry.remove(QStringLiteral("ms"));
    return entry;
}

// The bool operations and a way to call each.
struct BoolOperation
{
    const char* method;
    std::function<bool()> run;
};

QList<BoolOperation> boolOperations()
{
    SysStatus& s = SysStatus::instance();
    return {
        {"setSuspendInterval", [&s] { return s.setSuspendInterval(5); }},
        {"setShutdownInterval", [&s] { return s.setShutdownInterval(5); }},
        {"sdioState", [&s] { return s.sdioState(); }},
        {"enableSdio", [&s] { return s.enableSdio(true); }},
        {"stopWpaSupplicant", [&s] { return s.stopWpaSupplicant(); }},
        {"startWpaSupplicant", [&s] { return s.startWpaSupplicant(QStringLiteral("/etc/wpa.conf")); }},
        {"acquireAddress", [&s] { return s.acquireAddress(true); }},
    };
}

int broadcastCount(const SystemManagerProcess& service, const char* name)
{
    int count = 0;
    for (const QJsonObject& entry : service.entries())
        count += entry.value(QStringLiteral("signal")).toString() == QLatin1String(name);
    return count;
}

} // namespace

class SysStatusBusTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void callsArriveAsSent();
    void replyRules();
    void batteryStatusOutParameters();
    void broadcastSignalsReachListeners_data();
    void broadcastSignalsReachListeners();
    void controlToolReachesClient();
    void standInRadioAndWpa();
    void standInLockedRadio();
    void absentServiceFailsQuickly();
    void silentServiceTimesOut();

private:
    SystemManagerProcess m_service;
};

void SysStatusBusTest::initTestCase()
{
    REQUIRE_SANDBOX();
    QVERIFY(QDBusConnection::systemBus().isConnected());
    previousHandler = qInstallMessageHandler(collectWarnings);
    SysStatus::instance();
    QCOMPARE(warnings, QStringList());   // every subscription succeeded
}

void SysStatusBusTest::init()
{
    warnings.clear();
}

void SysStatusBusTest::cleanup()
{
    m_service.stop();
    // Broadcasts the service sent before it ended are delivered now, not
    // into the next test's spies: a round trip to the bus puts them all in
    // our queue, the wait hands them out.
    QDBusConnection::systemBus().interface()->serviceOwner(QStringLiteral("org.freedesktop.DBus"));
    QTest::qWait(50);
}

void SysStatusBusTest::callsArriveAsSent()
{
    QVERIFY(m_service.start({QStringLiteral("--sdio")}));
    SysStatus& s = SysStatus::instance();
    int left = 0;
    int status = 0;
    s.setSystemBusy(true, true);
    QVERIFY(s.systemBusy());
    QVERIFY(s.setSuspendInterval(300000));
    QVERIFY(s.setShutdownInterval(1200000));
    QVERIFY(s.sdioState());
    QVERIFY(s.startWpaSupplicant(QStringLiteral("/etc/wpa_supplicant.conf")));
    QVERIFY(s.acquireAddress(true));
    QVERIFY(s.stopWpaSupplicant());
    QVERIFY(s.enableSdio(false));
    QVERIFY(s.batteryStatus(left, status));
    s.setSystemBusy(false, true);
    QVERIFY(!s.systemBusy());

    // The busy state is not waited for: its last call may still be on its way.
    QTRY_COMPARE(m_service.calls().size(), 10);
    QList<QJsonObject> received;
    for (const QJsonObject& entry : m_service.calls())
        received.append(withoutStamps(entry));
    const QList<QJsonObject> expected = {
        call("setSystemBusy", "bb", {true, true}),
        call("setSuspendInterval", "i", {300000}),
        call("setShutdownInterval", "i", {1200000}),
        call("sdioState", "", {}),
        call("startWpaSupplicant", "s", {QStringLiteral("/etc/wpa_supplicant.conf")}),
        call("acquireAddress", "b", {true}),
        call("stopWpaSupplicant", "", {}),
        call("enableSdio", "b", {false}),
        call("batteryStatus", "", {}),
        call("setSystemBusy", "bb", {false, true}),
    };
    QCOMPARE(received, expected);

    const QJsonObject state = serviceState();
    QCOMPARE(state.value(QStringLiteral("busy")).toBool(), false);
    QCOMPARE(state.value(QStringLiteral("busyIndicator")).toBool(), true);
    QCOMPARE(state.value(QStringLiteral("suspendInterval")).toInt(), 300000);
    QCOMPARE(state.value(QStringLiteral("shutdownInterval")).toInt(), 1200000);
    QCOMPARE(state.value(QStringLiteral("sdio")).toBool(), false);
    QCOMPARE(warnings, QStringList());
}

void SysStatusBusTest::replyRules()
{
    QVERIFY(m_service.start());
    SysStatus& s = SysStatus::instance();

    // The answer is the reply's value, not merely that a reply came.
    QVERIFY(!s.sdioState());
    QVERIFY(s.enableSdio(true));
    QVERIFY(s.sdioState());
    QVERIFY(!s.setSuspendInterval(-1));
    QVERIFY(s.setSuspendInterval(0));
    QCOMPARE(warnings, QStringList());

    const QList<BoolOperation> operations = boolOperations();
    for (const BoolOperation& op : operations) {
        QVERIFY(setMode(QLatin1String(op.method), QStringLiteral("empty")));
        QVERIFY2(!op.run(), op.method);
    }
    QCOMPARE(warnings, QStringList());

    for (const BoolOperation& op : operations) {
        QVERIFY(setMode(QLatin1String(op.method), QStringLiteral("error")));
        warnings.clear();
        QVERIFY2(!op.run(), op.method);
        QCOMPARE(warnings, QStringList{QStringLiteral("%1 failed").arg(QLatin1String(op.method))});
    }

    // Busy needs no answer and reports nothing, whatever the service says.
    warnings.clear();
    QVERIFY(setMode(QStringLiteral("setSystemBusy"), QStringLiteral("error")));
    s.setSystemBusy(true, true);
    QVERIFY(s.systemBusy());
    QVERIFY(setMode(QStringLiteral("setSystemBusy"), QStringLiteral("empty")));
    s.setSystemBusy(false, true);
    QVERIFY(!s.systemBusy());
    QCOMPARE(warnings, QStringList());
    QTRY_COMPARE(m_service.calls().size(), 7 + 2 * operations.size());
}

void SysStatusBusTest::batteryStatusOutParameters()
{
    QVERIFY(m_service.start({QStringLiteral("--battery"), QStringLiteral("57"),
                             QStringLiteral("--battery-status"), QStringLiteral("2")}));
    SysStatus& s = SysStatus::instance();
    int left = -7;
    int status = -8;
    QVERIFY(s.batteryStatus(left, status));
    QCOMPARE(left, 57);
    QCOMPARE(status, 2);

    // A broadcast level change is what the next question reports.
    QCOMPARE(control("emitSignal", {QStringLiteral("batterySignal"),
                                    QStringList{QStringLiteral("12"), QStringLiteral("1")}})
                 .type(),
             QDBusMessage::ReplyMessage);
    QVERIFY(s.batteryStatus(left, status));
    QCOMPARE(left, 12);
    QCOMPARE(status, 1);

    const QStringList failures = {QStringLiteral("partial"), QStringLiteral("empty"),
                                  QStringLiteral("error")};
    for (const QString& mode : failures) {
        QVERIFY(setMode(QStringLiteral("batteryStatus"), mode));
        warnings.clear();
        left = -7;
        status = -8;
        QVERIFY2(!s.batteryStatus(left, status), qPrintable(mode));
        QCOMPARE(left, -7);
        QCOMPARE(status, -8);
        QCOMPARE(warnings.size(), mode == QLatin1String("error") ? 1 : 0);
    }
    QCOMPARE(warnings, QStringList{QStringLiteral("batteryStatus failed")});
}

void SysStatusBusTest::broadcastSignalsReachListeners_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("qtSignal");
    QTest::addColumn<QVariantList>("expected");

    const QStringList eight = {"1", "2", "3", "4", "5", "6", "7", "8"};
    const QVariantList eightInts = {1, 2, 3, 4, 5, 6, 7, 8};
    auto row = [](const char* name, const QStringList& args, const char* qtSignal,
                  const QVariantList& expected) {
        QTest::newRow(name) << QString::fromLatin1(name) << args << QByteArray(qtSignal) << expected;
    };
    row("mouseLongPress", {"10", "20", "30", "40"}, "mouseLongPress(QPoint,QSize)",
        {QPoint(10, 20), QSize(30, 40)});
    row("mountTreeSignal", {"true", "/media/sd"}, "mountTreeSignal(bool,QString)",
        {true, QStringLiteral("/media/sd")});
    row("sdCardChangedSignal", {"false"}, "sdCardChangedSignal(bool)", {false});
    row("sdioChangedSignal", {"true"}, "sdioChangedSignal(bool)", {true});
    row("batterySignal", {"33", "1"}, "batterySignal(int,int)", {33, 1});
    row("connectToPC", {"true"}, "connectToPC(bool)", {true});
    row("inUSBSlaveMode", {}, "inUSBSlaveMode()", {});
    row("screenRotated", {"270"}, "screenRotated(int)", {270});
    row("aboutToSuspend", {}, "aboutToSuspend()", {});
    row("wakeup", {}, "wakeup()", {});
    row("aboutToShutdown", {}, "aboutToShutdown()", {});
    row("forceQuit", {}, "forceQuit()", {});
    row("onlineServiceSignal", {}, "onlineServiceSignal()", {});
    row("pppConnectionChanged", {"dialing", "3"}, "pppConnectionChanged(QString,int)",
        {QStringLiteral("dialing"), 3});
    row("volumeChanged", {"7", "false"}, "volumeChanged(int,bool)", {7, false});
    row("volumeUpPressed", {}, "volumeUpPressed()", {});
    row("volumeDownPressed", {}, "volumeDownPressed()", {});
    row("stylusChanged", {"true"}, "stylusChanged(bool)", {true});
    row("musicPlayerStateChanged", {"2"}, "musicPlayerStateChanged(int)", {2});
    row("downloadStateChanged", {"/media/flash/a.epub", "4", "true"},
        "downloadStateChanged(QString,int,bool)", {QStringLiteral("/media/flash/a.epub"), 4, true});
    row("hardwareTimerTimeout", {}, "hardwareTimerTimeout()", {});
    row("lowBatterySignal", {}, "lowBatterySignal()", {});
    row("multiTouchPressDetected", eight,
        "multiTouchPressDetected(int,int,int,int,int,int,int,int)", eightInts);
    row("multiTouchReleaseDetected", eight,
        "multiTouchReleaseDetected(int,int,int,int,int,int,int,int)", eightInts);
    row("configKeyboard", {}, "configKeyboard()", {});
}

void SysStatusBusTest::broadcastSignalsReachListeners()
{
    QFETCH(QString, name);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, qtSignal);
    QFETCH(QVariantList, expected);

    QVERIFY(m_service.start());
    QSignalSpy spy(&SysStatus::instance(), QByteArray(QByteArray("2") + qtSignal).constData());
    QVERIFY(spy.isValid());
    QCOMPARE(control("emitSignal", {name, args}).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0), expected);
}

void SysStatusBusTest::controlToolReachesClient()
{
    QVERIFY(m_service.start());
    SysStatus& s = SysStatus::instance();
    const QString ctl = SystemManagerProcess::binary(QStringLiteral("system-manager-ctl"));
    QSignalSpy spy(&s, &SysStatus::mouseLongPress);

    QCOMPARE(QProcess::execute(ctl, {"emit", "mouseLongPress", "10", "20", "30", "40"}), 0);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toPoint(), QPoint(10, 20));
    QCOMPARE(spy.at(0).at(1).toSize(), QSize(30, 40));

    // Malformed requests are refused and broadcast nothing.
    QCOMPARE(QProcess::execute(ctl, {"emit", "mouseLongPress", "10", "x", "30", "40"}), 1);
    QCOMPARE(QProcess::execute(ctl, {"emit", "mouseLongPress", "10", "20"}), 1);
    QCOMPARE(QProcess::execute(ctl, {"emit", "noSuchSignal"}), 1);
    QCOMPARE(QProcess::execute(ctl, {"mode", "sdioState", "sometimes"}), 1);
    QTest::qWait(200);
    QCOMPARE(spy.count(), 1);

    QCOMPARE(QProcess::execute(ctl, {"mode", "sdioState", "empty"}), 0);
    QVERIFY(s.enableSdio(true));
    QVERIFY(!s.sdioState());

    s.setSystemBusy(true, true);
    QProcess state;
    state.start(ctl, {"state"});
    QVERIFY(state.waitForFinished(10000));
    QCOMPARE(state.exitCode(), 0);
    const QJsonObject json = QJsonDocument::fromJson(state.readAllStandardOutput()).object();
    QCOMPARE(json.value(QStringLiteral("busy")).toBool(), true);
    QCOMPARE(json.value(QStringLiteral("sdio")).toBool(), true);
    QCOMPARE(json.value(QStringLiteral("sdCard")).toBool(), false);
    QCOMPARE(json.value(QStringLiteral("batteryLevel")).toInt(), 80);
}

void SysStatusBusTest::standInRadioAndWpa()
{
    // The configuration path reaches the command as $1, never as shell text.
    QVERIFY(m_service.start({QStringLiteral("--wpa-command"),
                             QStringLiteral("printf %s \"$1\" >/tmp/lirro_wpa_started"),
                             QStringLiteral("--wpa-stop-command"),
                             QStringLiteral("touch /tmp/lirro_wpa_stopped"),
                             QStringLiteral("--address-command"),
                             QStringLiteral("touch /tmp/lirro_address")}));
    SysStatus& s = SysStatus::instance();
    const QString conf = QStringLiteral("/tmp/my wpa $(touch /tmp/lirro_owned).conf");
    QVERIFY(!s.startWpaSupplicant(conf));   // radio off
    QVERIFY(!s.acquireAddress(true));
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/lirro_wpa_started")));

    QSignalSpy sdio(&s, &SysStatus::sdioChangedSignal);
    QVERIFY(s.enableSdio(true));
    QTRY_COMPARE(sdio.count(), 1);
    QCOMPARE(sdio.at(0).at(0).toBool(), true);
    QVERIFY(s.enableSdio(true));   // no change, no broadcast
    QVERIFY(s.sdioState());

    QVERIFY(s.startWpaSupplicant(conf));
    QFile started(QStringLiteral("/tmp/lirro_wpa_started"));
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(started.readAll()), conf);
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/lirro_owned")));
    QVERIFY(serviceState().value(QStringLiteral("wpaSupplicant")).toBool());

    QVERIFY(s.acquireAddress(true));
    QVERIFY(QFile::exists(QStringLiteral("/tmp/lirro_address")));
    QTRY_VERIFY(broadcastCount(m_service, "addressAcquired") == 1);

    QVERIFY(s.stopWpaSupplicant());
    QVERIFY(QFile::exists(QStringLiteral("/tmp/lirro_wpa_stopped")));
    QVERIFY(!serviceState().value(QStringLiteral("wpaSupplicant")).toBool());

    QVERIFY(s.enableSdio(false));
    QTRY_COMPARE(sdio.count(), 2);
    QCOMPARE(sdio.at(1).at(0).toBool(), false);
    QVERIFY(!s.sdioState());
    QCOMPARE(broadcastCount(m_service, "sdioChangedSignal"), 2);
    QCOMPARE(warnings, QStringList());
}

void SysStatusBusTest::standInLockedRadio()
{
    QVERIFY(m_service.start({QStringLiteral("--sdio-locked")}));
    SysStatus& s = SysStatus::instance();
    QSignalSpy sdio(&s, &SysStatus::sdioChangedSignal);
    QVERIFY(!s.enableSdio(true));
    QVERIFY(!s.sdioState());
    QVERIFY(s.enableSdio(false));   // already off
    QVERIFY(!s.startWpaSupplicant(QStringLiteral("/etc/wpa.conf")));
    QTest::qWait(100);
    QCOMPARE(sdio.count(), 0);
    QCOMPARE(broadcastCount(m_service, "sdioChangedSignal"), 0);
}

void SysStatusBusTest::absentServiceFailsQuickly()
{
    QVERIFY(!m_service.isRunning());
    SysStatus& s = SysStatus::instance();
    QElapsedTimer clock;
    clock.start();
    const QList<BoolOperation> operations = boolOperations();
    for (const BoolOperation& op : operations)
        QVERIFY2(!op.run(), op.method);
    int left = -7;
    int status = -8;
    QVERIFY(!s.batteryStatus(left, status));
    QCOMPARE(left, -7);
    QCOMPARE(status, -8);
    QCOMPARE(warnings.size(), operations.size() + 1);   // each error reply reported
    s.setSystemBusy(true, true);
    QVERIFY(s.systemBusy());
    s.setSystemBusy(false, true);
    QVERIFY(!s.systemBusy());
    QCOMPARE(warnings.size(), operations.size() + 1);   // busy stays silent
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

void SysStatusBusTest::silentServiceTimesOut()
{
    QVERIFY(m_service.start({QStringLiteral("--sdio")}));
    SysStatus& s = SysStatus::instance();
    QVERIFY(setMode(QStringLiteral("sdioState"), QStringLiteral("silent")));
    QVERIFY(setMode(QStringLiteral("setSystemBusy"), QStringLiteral("silent")));
    QElapsedTimer clock;
    clock.start();
    s.setSystemBusy(true, true);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!s.sdioState());
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(warnings.size(), 1);   // the bus's no-reply error

    // The service itself goes on answering.
    QVERIFY(setMode(QStringLiteral("sdioState"), QStringLiteral("normal")));
    QVERIFY(s.sdioState());
}

QTEST_GUILESS_MAIN(SysStatusBusTest)
#include "tst_sysstatus_bus.moc"
