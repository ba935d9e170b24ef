// The real lirro on an X screen with both stand-ins, driven by real key events.
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include "devicesession.h"
#include "e2echeck.h"

namespace {
bool isGuScreenUpdate(const QJsonObject& o) {
    return o.value("type").toString() == "UPDATE_SCREEN" && o.value("waveform").toString() == "GU";
}

// At start the window's flush (a GU region update of the whole window) and the
// watcher's tick may come in either order; both bring the whole screen.
bool isGuWholeScreenUpdate(const QJsonObject& o) {
    if (isGuScreenUpdate(o))
        return true;
    return o.value("type").toString() == "UPDATE_REGION" && o.value("waveform").toString() == "GU" &&
           o.value("left").toInt() == 0 && o.value("top").toInt() == 0 &&
           o.value("width").toInt() == 600 && o.value("height").toInt() == 800;
}
}  // namespace

class ShellEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void startBrowseAndLeave();
};

void ShellEndToEnd::startBrowseAndLeave() {
    DeviceSession device;
    QVERIFY2(device.start(), qPrintable(device.lastError()));

    // Start: the flash is listed, the busy state is cleared, and one partial
    // update reaches the panel once painting settled.
    QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
    bool cleared = false;
    for (const QJsonObject& call : device.systemLog()) {
        if (call.value("method").toString() == "setSystemBusy" &&
            call.value("args").toArray() == QJsonArray{false, true})
            cleared = true;
    }
    QVERIFY(cleared);
    int settled = device.waitScreenSettled();
    QList<QJsonObject> log = device.screenLog();
    QVERIFY(!log.isEmpty());
    QVERIFY2(isGuWholeScreenUpdate(log.last()), qPrintable(QJsonDocument(log.last()).toJson()));
    for (const QJsonObject& cmd : log)
        QVERIFY2(cmd.value("waveform").toString() != "GC", "no full flash at start");
    // Idle: nothing more is sent.
    QCOMPARE(device.waitScreenSettled(800), settled);
    VERIFY_PANEL(device, "started");

    // Moving the cursor one row: the outline is drawn on the panel as five
    // points, before the partial update of the same tick. (The first Down
    // selects the first row.)
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    settled = device.waitScreenSettled();
    QVERIFY(device.key("Down"));
    device.waitScreenSettled();
    log = device.screenLog().mid(settled);
    int lines = -1, update = -1;
    for (int i = 0; i < log.size(); ++i) {
        if (lines < 0 && log[i].value("type").toString() == "DRAW_LINES")
            lines = i;
        if (isGuScreenUpdate(log[i]))
            update = i;
    }
    if (lines < 0) {
        for (const QJsonObject& o : log)
            qWarning().noquote() << QJsonDocument(o).toJson(QJsonDocument::Compact);
    }
    QVERIFY2(lines >= 0, "no outline drawn for the cursor step");
    QVERIFY(update > lines);
    VERIFY_PANEL(device, "two cursor steps");
    QCOMPARE(log[lines].value("point_count").toInt(), 5);
    const QJsonArray points = log[lines].value("points").toArray();
    QCOMPARE(points.size(), 5);
    QCOMPARE(points.first(), points.last());
    QVERIFY(points[1].toArray()[0].toInt() > points[0].toArray()[0].toInt());   // top edge runs right
    QCOMPARE(points[1].toArray()[1], points[0].toArray()[1]);

    // Back walks up to "/" and Back at "/" closes the program with status 0.
    QVERIFY(device.key("Escape"));
    QVERIFY2(device.waitForTitle("/media"), qPrintable(device.title()));
    QVERIFY(device.key("Escape"));
    QVERIFY2(device.waitForTitle("/"), qPrintable(device.title()));
    QVERIFY(device.key("Escape"));
    QVERIFY(device.lirro().waitForFinished(10000));
    QCOMPARE(device.lirro().exitStatus(), QProcess::NormalExit);
    QCOMPARE(device.lirro().exitCode(), 0);
}

QTEST_GUILESS_MAIN(ShellEndToEnd)
#include "tst_shell_e2e.moc"
