// The device window's picture, status line, input translation and command
// channel, without X.
#include "commandchannel.h"
#include "devicewindow.h"
#include "inputtranslator.h"
#include "panelfile.h"
#include "panelview.h"
#include "systemstatus.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QSize kPanel(600, 800);

// A picture with a different grey in every 8x8 cell, so any shift shows.
QByteArray pattern(const QSize& size, int seed)
{
    QByteArray bytes(size.width() * size.height(), 0);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            bytes[y * size.width() + x] = char(((x / 8) * 7 + (y / 8) * 13 + seed) & 0xff);
    return bytes;
}

// Left half black, right half white, bottom quarter mid grey.
QByteArray blocks(const QSize& size)
{
    QByteArray bytes(size.width() * size.height(), 0);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            bytes[y * size.width() + x] = char(y >= size.height() * 3 / 4 ? 0x80 : x < size.width() / 2 ? 0x00 : 0xff);
    return bytes;
}

// As the screen service writes it: a whole new file renamed into place.
bool writeRaw(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

int grey(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y));
}

} // namespace

class TestDeviceWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void pictureIsThePanelFile();
    void pictureScaledToFit();
    void reloadsWhenReplaced();
    void statusLine();
    void statusFromFile();
    void keyTranslation();
    void touchTranslation();
    void longPress();
    void pointerOnTheView();
    void channelToFifo();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestDeviceWindow::init()
{
    // Under the build tree: nothing here goes near this machine's /tmp.
    m_dir.reset(new QTemporaryDir(qEnvironmentVariable("LIRRO_BUILD_DIR", QDir::currentPath())
                                  + QStringLiteral("/tst_devicewindow-XXXXXX")));
    QVERIFY(m_dir->isValid());
}

void TestDeviceWindow::pictureIsThePanelFile()
{
    const QByteArray raw = pattern(kPanel, 3);
    QVERIFY(writeRaw(path("panel.raw"), raw));

    const QImage read = PanelFile::read(path("panel.raw"), kPanel);
    QCOMPARE(read.size(), kPanel);
    QCOMPARE(grey(read, 599, 799), int(quint8(raw.at(799 * 600 + 599))));

    // The whole window, larger than the panel: the panel sits in it pixel for pixel.
    DeviceWindow window({path("panel.raw"), path("state.json"), path("input")}, kPanel);
    window.resize(800, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    PanelView* view = window.panelView();
    const QRect r = view->panelRect();
    QCOMPARE(r.size(), kPanel);
    const QImage shown = view->grab().toImage();
    int wrong = 0;
    for (int y = 0; y < kPanel.height(); ++y)
        for (int x = 0; x < kPanel.width(); ++x)
            wrong += grey(shown, r.x() + x, r.y() + y) != quint8(raw.at(y * kPanel.width() + x));
    QCOMPARE(wrong, 0);

    // A file of the wrong size is refused, with the reason on the blank panel.
    QString error;
    QVERIFY(writeRaw(path("short.raw"), raw.left(1000)));
    QVERIFY(PanelFile::read(path("short.raw"), kPanel, &error).isNull());
    QVERIFY2(error.contains(QLatin1String("1000 bytes")), qPrintable(error));
    QVERIFY(PanelFile::read(path("missing.raw"), kPanel, &error).isNull());
    QVERIFY(error.contains(QLatin1String("no panel picture yet")));
}

void TestDeviceWindow::pictureScaledToFit()
{
    QVERIFY(writeRaw(path("panel.raw"), blocks(kPanel)));
    InputTranslator input;
    PanelView view(kPanel, &input);
    view.setImage(PanelFile::read(path("panel.raw"), kPanel));

    // Half the size: the whole panel at half scale.
    view.resize(300, 400);
    QCOMPARE(view.panelRect(), QRect(0, 0, 300, 400));
    QImage shown = view.grab().toImage();
    QCOMPARE(grey(shown, 75, 150), 0x00);
    QCOMPARE(grey(shown, 225, 150), 0xff);
    QCOMPARE(grey(shown, 150, 375), 0x80);

    // Wider than the panel's aspect: centred, keeping the aspect, margins outside.
    view.resize(600, 400);
    QCOMPARE(view.panelRect(), QRect(150, 0, 300, 400));
    shown = view.grab().toImage();
    QCOMPARE(grey(shown, 150 + 75, 150), 0x00);
    QCOMPARE(grey(shown, 150 + 225, 150), 0xff);
    QVERIFY(grey(shown, 20, 150) != 0xff && grey(shown, 580, 150) != 0xff);
    QCOMPARE(view.toPanel(QPoint(150, 0)), QPoint(0, 0));
    QCOMPARE(view.toPanel(QPoint(300, 200)), QPoint(300, 400));
    QCOMPARE(view.toPanel(QPoint(10, 500)), QPoint(0, 799));

    // Larger than the panel: never enlarged, one pixel for one pixel.
    view.resize(700, 1000);
    QCOMPARE(view.panelRect(), QRect(50, 100, 600, 800));
    shown = view.grab().toImage();
    QCOMPARE(grey(shown, 50 + 299, 100), 0x00);
    QCOMPARE(grey(shown, 50 + 300, 100), 0xff);
    QCOMPARE(grey(shown, 50 + 300, 100 + 600), 0x80);
    QCOMPARE(view.toPanel(QPoint(50 + 123, 100 + 456)), QPoint(123, 456));
}

void TestDeviceWindow::reloadsWhenReplaced()
{
    const QString file = path("panel.raw");
    PanelFile panel(file, kPanel);
    QSignalSpy changed(&panel, &PanelFile::changed);
    QSignalSpy errors(&panel, &PanelFile::errorChanged);
    panel.check();
    QVERIFY(panel.image().isNull());
    QVERIFY(panel.error().contains(QLatin1String("no panel picture yet")));

    QVERIFY(writeRaw(file, pattern(kPanel, 1)));
    QVERIFY(changed.wait(2000));
    QCOMPARE(grey(panel.image(), 17, 33), quint8(pattern(kPanel, 1).at(33 * 600 + 17)));
    QVERIFY(panel.error().isEmpty());

    // Every replacement is seen, even two within the same second.
    QVERIFY(writeRaw(file, pattern(kPanel, 2)));
    QVERIFY(changed.wait(2000));
    QCOMPARE(grey(panel.image(), 17, 33), quint8(pattern(kPanel, 2).at(33 * 600 + 17)));
    const int seen = changed.count();

    // Nothing new: nothing read.
    QTest::qWait(600);
    QCOMPARE(changed.count(), seen);

    // A broken file leaves the last good picture.
    QVERIFY(writeRaw(file, QByteArray(10, 'x')));
    QTRY_VERIFY_WITH_TIMEOUT(panel.error().contains(QLatin1String("10 bytes")), 2000);
    QCOMPARE(changed.count(), seen);
    QCOMPARE(grey(panel.image(), 17, 33), quint8(pattern(kPanel, 2).at(33 * 600 + 17)));
}

void TestDeviceWindow::statusLine()
{
    QJsonObject state{{"busy", true}, {"busyIndicator", true}, {"sdCard", true},
                      {"sdio", true}, {"batteryLevel", 57}, {"batteryStatus", 2}};
    QCOMPARE(SystemStatus::describe(state),
             QStringLiteral("Busy   SD card in   Wi-Fi on   Battery 57% (status 2)"));
    // Busy without the indicator flag shows nothing busy.
    state["busyIndicator"] = false;
    state["sdCard"] = false;
    state["sdio"] = false;
    state["batteryLevel"] = 80;
    state["batteryStatus"] = 0;
    QCOMPARE(SystemStatus::describe(state),
             QStringLiteral("Ready   No SD card   Wi-Fi off   Battery 80% (status 0)"));
    state["busy"] = false;
    state["busyIndicator"] = true;
    QVERIFY(SystemStatus::describe(state).startsWith(QLatin1String("Ready")));
    QCOMPARE(SystemStatus::describe(QJsonObject{}),
             QStringLiteral("Ready   No SD card   Wi-Fi off   Battery unknown"));
}

void TestDeviceWindow::statusFromFile()
{
    const QString file = path("state.json");
    const QDateTime now = QDateTime::currentDateTime();
    QCOMPARE(SystemStatus::describeFile(file, now), QStringLiteral("System manager not started"));

    const QByteArray json = R"({"busy":false,"busyIndicator":false,"sdCard":true,"sdio":false,)"
                            R"("batteryLevel":80,"batteryStatus":0,"suspendInterval":0})";
    QVERIFY(writeRaw(file, json));
    QCOMPARE(SystemStatus::describeFile(file, QDateTime::currentDateTime()),
             QStringLiteral("Ready   SD card in   Wi-Fi off   Battery 80% (status 0)"));
    // Not refreshed for a while: the stand-in or the forwarder is gone.
    QCOMPARE(SystemStatus::describeFile(file, QDateTime::currentDateTime().addSecs(10)),
             QStringLiteral("System manager not answering"));
    QVERIFY(writeRaw(file, "{\"busy\":"));
    QCOMPARE(SystemStatus::describeFile(file, QDateTime::currentDateTime()),
             QStringLiteral("System manager state unreadable"));

    // The window's line follows the file.
    QVERIFY(writeRaw(file, json));
    DeviceWindow window({path("panel.raw"), file, path("input")}, kPanel);
    QCOMPARE(window.statusText(), QStringLiteral("Ready   SD card in   Wi-Fi off   Battery 80% (status 0)"));
    QVERIFY(writeRaw(file, R"({"busy":true,"busyIndicator":true,"sdio":true,"batteryLevel":12})"));
    QTRY_COMPARE_WITH_TIMEOUT(window.statusText(),
                              QStringLiteral("Busy   No SD card   Wi-Fi on   Battery 12%"), 2000);
}

void TestDeviceWindow::keyTranslation()
{
    const QList<QPair<int, QString>> keys = {
        {Qt::Key_Up, "Up"}, {Qt::Key_Down, "Down"}, {Qt::Key_Left, "Left"},
        {Qt::Key_Right, "Right"}, {Qt::Key_PageUp, "Prior"}, {Qt::Key_PageDown, "Next"},
        {Qt::Key_Return, "Return"}, {Qt::Key_Enter, "Return"}, {Qt::Key_Escape, "Escape"},
        {Qt::Key_Menu, "Menu"}, {Qt::Key_F1, "Menu"}, {Qt::Key_M, "Menu"},
    };
    InputTranslator input;
    QSignalSpy commands(&input, &InputTranslator::command);
    for (const auto& k : keys) {
        QVERIFY(input.key(k.first, false));
        QCOMPARE(commands.takeFirst().at(0).toString(), QStringLiteral("key ") + k.second);
    }
    // Not device keys: nothing goes out.
    for (int k : {int(Qt::Key_A), int(Qt::Key_Space), int(Qt::Key_Tab), int(Qt::Key_F2), int(Qt::Key_Backspace)})
        QVERIFY(!input.key(k, false));
    // A held key is one press.
    QVERIFY(input.key(Qt::Key_Down, true));
    QCOMPARE(commands.count(), 0);

    // Through the view, as the window receives them.
    PanelView view(kPanel, &input);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QTest::keyClick(&view, Qt::Key_M);
    QTest::keyClick(&view, Qt::Key_X);
    QCOMPARE(commands.count(), 2);
    QCOMPARE(commands.at(0).at(0).toString(), QStringLiteral("key Next"));
    QCOMPARE(commands.at(1).at(0).toString(), QStringLiteral("key Menu"));
}

void TestDeviceWindow::touchTranslation()
{
    InputTranslator input;
    QSignalSpy commands(&input, &InputTranslator::command);
    auto lines = [&] {
        QStringList out;
        for (const auto& c : commands)
            out << c.at(0).toString();
        commands.clear();
        return out;
    };

    input.press(QPoint(10, 20));
    input.release(QPoint(11, 20));
    QCOMPARE(lines(), (QStringList{"press 10 20", "release 11 20"}));

    // A double click comes as press, release, double click, release.
    input.press(QPoint(5, 6));
    input.release(QPoint(5, 6));
    input.doubleClick(QPoint(5, 6));
    input.release(QPoint(5, 6));
    QCOMPARE(lines(), (QStringList{"press 5 6", "release 5 6", "press 5 6", "release 5 6"}));

    // A release without a press (it began outside the panel) is dropped.
    input.release(QPoint(1, 1));
    QCOMPARE(lines(), QStringList());

    // A drag sends its moves gathered, and the release carries the end.
    input.press(QPoint(100, 100));
    for (int x = 101; x <= 130; ++x)
        input.move(QPoint(x, 100));
    QTest::qWait(InputTranslator::MOVE_INTERVAL_MS * 3);
    input.move(QPoint(140, 100));
    input.release(QPoint(150, 100));
    QTest::qWait(InputTranslator::MOVE_INTERVAL_MS * 3);
    QCOMPARE(lines(), (QStringList{"press 100 100", "move 130 100", "release 150 100"}));
    // Moves without a press are hover, not touch.
    input.move(QPoint(3, 3));
    QTest::qWait(InputTranslator::MOVE_INTERVAL_MS * 3);
    QCOMPARE(lines(), QStringList());
}

void TestDeviceWindow::longPress()
{
    InputTranslator input;
    QSignalSpy commands(&input, &InputTranslator::command);
    QElapsedTimer clock;

    // Held still: the long press arrives after a second, while still down.
    clock.start();
    input.press(QPoint(200, 300));
    QCOMPARE(commands.count(), 1);
    QVERIFY(commands.wait(3000));
    QVERIFY2(clock.elapsed() >= InputTranslator::LONG_PRESS_MS - 20, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(commands.at(1).at(0).toString(), QStringLiteral("long 200 300"));
    input.release(QPoint(200, 300));
    QCOMPARE(commands.at(2).at(0).toString(), QStringLiteral("release 200 300"));
    commands.clear();

    // Released sooner: a plain touch.
    input.press(QPoint(1, 2));
    QTest::qWait(InputTranslator::LONG_PRESS_MS / 2);
    input.release(QPoint(1, 2));
    QTest::qWait(InputTranslator::LONG_PRESS_MS);
    QCOMPARE(commands.count(), 2);
    commands.clear();

    // A small tremble still counts; a drag does not.
    input.press(QPoint(50, 50));
    input.move(QPoint(53, 54));
    QTest::qWait(InputTranslator::LONG_PRESS_MS + 300);
    QVERIFY(commands.last().at(0).toString() == QStringLiteral("long 50 50"));
    input.release(QPoint(53, 54));
    commands.clear();
    input.press(QPoint(50, 50));
    input.move(QPoint(50, 50 + InputTranslator::LONG_PRESS_SLOP + 1));
    QTest::qWait(InputTranslator::LONG_PRESS_MS + 300);
    input.release(QPoint(50, 80));
    for (const auto& c : commands)
        QVERIFY2(!c.at(0).toString().startsWith(QLatin1String("long")), qPrintable(c.at(0).toString()));
}

void TestDeviceWindow::pointerOnTheView()
{
    InputTranslator input;
    QSignalSpy commands(&input, &InputTranslator::command);
    PanelView view(kPanel, &input);
    view.resize(600, 400);   // panel shown at half size, centred: x 150..449
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(150 + 50, 100));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(150 + 50, 100));
    // In the margin beside the panel: not a touch.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(20, 100));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(20, 100));
    // Other buttons are not touches either.
    QTest::mousePress(&view, Qt::RightButton, {}, QPoint(300, 100));
    QTest::mouseRelease(&view, Qt::RightButton, {}, QPoint(300, 100));
    QCOMPARE(commands.count(), 2);
    QCOMPARE(commands.at(0).at(0).toString(), QStringLiteral("press 100 200"));
    QCOMPARE(commands.at(1).at(0).toString(), QStringLiteral("release 100 200"));
}

void TestDeviceWindow::channelToFifo()
{
    const QString fifo = path("input.fifo");
    const QByteArray name = QFile::encodeName(fifo);
    CommandChannel channel(fifo);

    // Nobody reading (no FIFO, then a FIFO without reader): refused at once.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!channel.send("key Down"));
    QCOMPARE(mkfifo(name.constData(), 0600), 0);
    QVERIFY(!channel.send("key Down"));
    QVERIFY(clock.elapsed() < 1000);

    auto readAll = [](int fd) {
        QByteArray out;
        char buffer[512];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            out.append(buffer, int(n));
        return out;
    };

    int reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QVERIFY(channel.send("key Down"));
    QVERIFY(channel.send("tap 1 2"));
    QCOMPARE(readAll(reader), QByteArray("key Down\ntap 1 2\n"));

    // The reader went away and came back (the device restarted).
    ::close(reader);
    QVERIFY(!channel.send("key Up"));
    reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QVERIFY(channel.send("key Return"));
    QCOMPARE(readAll(reader), QByteArray("key Return\n"));
    ::close(reader);
}

int main(int argc, char* argv[])
{
    // The channel's writes to a FIFO whose reader left must not end the test.
    signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    TestDeviceWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_devicewindow.moc"
