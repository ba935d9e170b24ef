// The emulated device. Its panel: what the screen service reads from a
// record, the framebuffer in Xvfb's formats, rotation, waveforms, lines drawn
// into the framebuffer, and stale pixels; the service process on a real X
// server. Its window: the user's keys and pointer on the panel picture become
// the device's command lines for the forwarder.
#include "commanddecoder.h"
#include "inputtranslator.h"
#include "panelemulator.h"
#include "panelview.h"
#include "support/files.h"
#include "support/processes.h"
#include "support/rotationcases.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {

using namespace support::wire;

// An XWD file as Xvfb -fbdir keeps it, written by hand: the reader is
// checked against this writer, not against itself.
struct FakeXwd
{
    int bitsPerPixel = 32, colours = 256, linePad = 8;
    bool msbPixels = false, littleHeader = false;
    QByteArray bytes;
    int offset = 0, bytesPerLine = 0;

    void create(const QSize& screen)
    {
        const bool rgb565 = bitsPerPixel == 16;
        bytesPerLine = screen.width() * bitsPerPixel / 8 + linePad;
        offset = 104 + colours * 12;
        bytes = QByteArray(offset + bytesPerLine * screen.height(), '\0');
        const quint32 words[25] = { 104, 7, 2, quint32(rgb565 ? 16 : 24), quint32(screen.width()),
                                    quint32(screen.height()), 0, quint32(msbPixels), 32, 0, 32, quint32(bitsPerPixel),
                                    quint32(bytesPerLine), 4, rgb565 ? 0xf800u : 0xff0000u, rgb565 ? 0x07e0u : 0xff00u,
                                    rgb565 ? 0x1fu : 0xffu, 8, quint32(colours), quint32(colours) };
        for (int i = 0; i < 25; ++i)
            littleHeader ? qToLittleEndian(words[i], bytes.data() + 4 * i) : qToBigEndian(words[i], bytes.data() + 4 * i);
        fill(QRect(QPoint(0, 0), screen), 255, 255, 255);
    }
    void fill(const QRect& r, int red, int green, int blue)
    {
        const quint32 pixel = bitsPerPixel == 16 ? quint32((red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3))
                                                 : quint32(red << 16 | green << 8 | blue);
        const int n = bitsPerPixel / 8;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                for (int i = 0; i < n; ++i)
                    bytes[offset + y * bytesPerLine + x * n + i] = char(pixel >> (msbPixels ? (n - 1 - i) * 8 : i * 8));
    }
};

CommandDecoder::Command lines(const QRect& r, int color = 0, int size = 1)
{
    const QPoint p[] = { r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft(), r.topLeft() };
    QMap<int, qint32> f{ { Type, DrawLines }, { PointCount, 5 }, { Color, color }, { Size, size } };
    for (int i = 0; i < 5; ++i) {
        f.insert(Points + 8 * i, p[i].x());
        f.insert(Points + 8 * i + 4, p[i].y());
    }
    return CommandDecoder::decode(support::makeRecord(f));
}

CommandDecoder::Command update(const QRect& r, int waveform = Panel::GU)
{
    return CommandDecoder::decode(support::makeRecord({ { Type, UpdateRegion }, { Waveform, waveform }, { Top, r.top() },
                                                        { Left, r.left() }, { Width, r.width() }, { Height, r.height() } }));
}

int stat(PanelEmulator& e, const char* name)
{
    return e.stats().value(QLatin1String(name)).toInt();
}

} // namespace

class EmulatorTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    FakeXwd fake;
    std::unique_ptr<PanelEmulator> current;
    QString fbPath() const { return dir.filePath(QLatin1String(PanelEmulator::FramebufferFile)); }
    // An emulator on a white screen of this size, at this rotation.
    PanelEmulator* emulator(const QSize& screen, int degrees = 0)
    {
        fake = FakeXwd();
        fake.create(screen);
        support::writeFile(fbPath(), fake.bytes);
        PanelEmulator::Options o;
        o.fbdir = dir.path();
        o.rotation = degrees;
        o.panelSize = degrees % 180 ? screen.transposed() : screen;
        current.reset(new PanelEmulator(o));
        return current.get();
    }

private Q_SLOTS:
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("json"); // what is logged, less seq and ms
        QTest::addColumn<bool>("answered");
        auto row = [](const char* name, const QMap<int, qint32>& fields, const char* json, bool answered, char fill = 0) {
            QTest::newRow(name) << support::makeRecord(fields, fill) << QString::fromLatin1(json) << answered;
        };
        // The fields DRAW_LINE does not read hold what earlier commands left.
        row("DRAW_LINE: two points", { { Type, DrawLine }, { Points, 1 }, { Points + 4, 2 }, { Points + 8, 3 }, { Points + 12, 4 }, { Color, 255 }, { Size, 2 }, { Wait, 0 } },
            R"({"color":255,"points":[[1,2],[3,4]],"size":2,"type":"DRAW_LINE","type_code":4,"wait":0})", false, '\x11');
        row("UPDATE_REGION, top before left", { { Type, UpdateRegion }, { Waveform, 3 }, { Top, 500 }, { Left, 7 }, { Width, 50 }, { Height, 9 }, { Wait, 3 } },
            R"({"height":9,"left":7,"partial":0,"top":500,"type":"UPDATE_REGION","type_code":3,"wait":3,"waveform":"GU","width":50})", true);
        row("UPDATE_SCREEN, an unnamed waveform", { { Type, UpdateScreen }, { Waveform, 5 }, { Wait, 1 } },
            R"({"partial":0,"type":"UPDATE_SCREEN","type_code":2,"wait":1,"waveform":5})", false);
        row("DRAW_LINES with no point", { { Type, DrawLines }, { Wait, 6 } },
            R"({"color":0,"point_count":0,"points":[],"size":0,"type":"DRAW_LINES","type_code":5,"wait":6})", true);
        row("an unknown type", { { Type, 7 }, { Wait, 2 } }, "unknown command type 7", false);
        row("16 points", { { Type, DrawLines }, { PointCount, 16 }, { Wait, 2 } }, "point_count 16 out of range", false);
        row("a huge line width", { { Type, DrawLine }, { Size, 1 << 30 }, { Wait, 2 } }, "size 1073741824 out of range", false);
        row("a huge region", { { Type, UpdateRegion }, { Width, 0x7fffffff } }, "width 2147483647 out of range", false);
        row("a point far off", { { Type, DrawLines }, { PointCount, 1 }, { Points, -70000 } }, "x -70000 out of range", false);
        QTest::newRow("163 bytes") << QByteArray(163, '\2') << "datagram of 163 bytes, expected 164" << false;
    }
    void decoding()
    {
        QFETCH(QByteArray, record);
        QFETCH(QString, json);
        const CommandDecoder::Command c = CommandDecoder::decode(record);
        if (c.valid)
            QCOMPARE(QString::fromUtf8(QJsonDocument(CommandDecoder::toJson(c)).toJson(QJsonDocument::Compact)), json);
        else
            QVERIFY2(c.error.startsWith(json), qPrintable(c.error));
        QTEST(CommandDecoder::wantsReply(c), "answered");
    }

    void formats_data()
    {
        QTest::addColumn<QString>("format"); // bits per pixel, "msb" pixels, "little" header
        QTest::addColumn<int>("word"); // a header word changed, -1: the file cut short, -2: neither
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("error");
        QTest::newRow("32 bpp") << "32" << -2 << 0 << "";
        QTest::newRow("32 bpp MSB first, little-endian header") << "32 msb little" << -2 << 0 << "";
        QTest::newRow("24 bpp MSB first") << "24 msb" << -2 << 0 << "";
        QTest::newRow("16 bpp 565") << "16" << -2 << 0 << "";
        QTest::newRow("cut short") << "32" << -1 << 0 << "pixels run past the end of the file";
        QTest::newRow("version 6") << "32" << 1 << 6 << "not an XWD file of version 7";
        QTest::newRow("8 bits per pixel") << "32" << 11 << 8 << "8 bits per pixel";
        QTest::newRow("huge width") << "32" << 4 << (1 << 30) << "bad geometry";
    }
    void formats()
    {
        QFETCH(QString, format);
        QFETCH(int, word);
        QFETCH(int, value);
        QFETCH(QString, error);
        fake = FakeXwd();
        fake.bitsPerPixel = format.left(2).toInt();
        fake.msbPixels = format.contains("msb");
        fake.littleHeader = format.contains("little");
        const int tolerance = fake.bitsPerPixel == 16 ? 4 : 0; // 5 or 6 bits a colour
        fake.colours = fake.linePad = fake.msbPixels ? 0 : 8;
        fake.create(QSize(7, 5));
        fake.fill(QRect(0, 0, 1, 1), 255, 0, 0);
        fake.fill(QRect(6, 4, 1, 1), 0, 0, 255);
        fake.fill(QRect(3, 2, 1, 1), 0, 255, 0);
        if (word == -1)
            fake.bytes.chop(20);
        else if (word >= 0)
            qToBigEndian<quint32>(quint32(value), fake.bytes.data() + 4 * word);
        QVERIFY(support::writeFile(fbPath(), fake.bytes));
        XwdFramebuffer fb;
        QString why;
        QCOMPARE(fb.open(fbPath(), QIODevice::ReadWrite, &why), error.isEmpty());
        QVERIFY2(why.contains(error), qPrintable(why));
        const QByteArray g = fb.grey();
        if (!error.isEmpty()) {
            QVERIFY(g.isEmpty());
            return;
        }
        for (const auto& [index, grey] : { std::pair{ 0, 76 }, { 34, 29 }, { 17, 150 }, { 1, 255 } })
            QVERIFY2(qAbs(uchar(g[index]) - grey) <= tolerance, qPrintable(QString::number(index)));
        // Drawing goes into the mapped file, in its own pixel format.
        const quint64 before = fb.checksum();
        fb.setGrey(4, 4, 136);
        QVERIFY(fb.checksum() != before);
        QVERIFY(qAbs(uchar(fb.grey()[4 * 7 + 4]) - 136) <= tolerance);
        fake.fill(QRect(4, 4, 1, 1), 136, 136, 136);
        QCOMPARE(support::readFile(fbPath()), fake.bytes);
    }

    void rotations_data() { support::addRotationRows(); }
    // The emulator's own mapping, and both ways through the emulator: a
    // region update shows what lies there, a line drawn there on the panel
    // lands on the logical rectangle's edge in the framebuffer.
    void rotations()
    {
        QFETCH(int, degrees);
        QFETCH(QSize, screen);
        QFETCH(QRect, logical);
        QFETCH(QRect, panel);
        QCOMPARE(Panel::mapToPanel(logical, screen, degrees), panel);
        PanelEmulator* e = emulator(screen, degrees);
        fake.fill(logical, 0, 0, 0);
        QVERIFY(support::writeFile(fbPath(), fake.bytes));
        QCOMPARE(e->apply(update(panel)).panel.changed, qint64(panel.width()) * panel.height());
        QCOMPARE(stat(*e, "stale_pixels"), 0);
        fake.fill(logical, 255, 255, 255);
        QVERIFY(support::writeFile(fbPath(), fake.bytes));
        e->apply(update(panel));
        QCOMPARE(e->apply(lines(panel)).drawn, 2 * (panel.width() + panel.height()) - 4ll);
        XwdFramebuffer framebuffer;
        QVERIFY(framebuffer.open(fbPath()));
        const QByteArray fb = framebuffer.grey();
        for (const QPoint& p : { logical.topLeft(), logical.bottomRight(), QPoint(logical.left(), logical.center().y()) })
            QCOMPARE(uchar(fb[p.y() * screen.width() + p.x()]), uchar(0));
        QCOMPARE(uchar(fb[logical.center().y() * screen.width() + logical.center().x()]), uchar(255));
    }

    void waveforms()
    {
        QCOMPARE(Panel::render(127, Panel::DW), uchar(0)); // black or white only
        QCOMPARE(Panel::render(128, Panel::DW), uchar(255));
        QCOMPARE(Panel::render(8, Panel::GU), uchar(0)); // the nearest of 16 greys
        QCOMPARE(Panel::render(9, Panel::GU), uchar(17));
        QCOMPARE(Panel::render(300, Panel::GC), uchar(255));
    }

    // The cursor's outline as the device draws it: into the framebuffer,
    // seen on the panel only after an update, erased by the next repaint.
    void linesAndStalePixels()
    {
        PanelEmulator* e = emulator(QSize(600, 800));
        e->apply(update(QRect(0, 0, 600, 800)));
        // A grey the panel cannot tell from white is not stale.
        fake.fill(QRect(300, 300, 10, 10), 250, 250, 250);
        QVERIFY(support::writeFile(fbPath(), fake.bytes));
        QCOMPARE(stat(*e, "stale_pixels"), 0);
        const QRect row(10, 20, 100, 40), next(10, 60, 100, 40);
        QCOMPARE(e->apply(lines(row)).panel.changed, qint64(0));
        QCOMPARE(stat(*e, "stale_pixels"), 276);
        QCOMPARE(stat(*e, "outline_pixels"), 0);
        e->apply(update(row.adjusted(0, 0, 0, -20)));
        QCOMPARE(stat(*e, "stale_pixels"), 100 + 2 * 19); // the bottom edge and the sides' lower half
        e->apply(CommandDecoder::decode(support::makeRecord({ { Type, UpdateScreen }, { Waveform, Panel::GU } })));
        QCOMPARE(stat(*e, "outline_pixels"), 276);
        QCOMPARE(stat(*e, "outline_drawn_pixels"), 276);
        QCOMPARE(e->panel().pixel(10, 20), uchar(0));

        // The next step: the program repaints the old row, the new outline
        // comes, and one update shows both.
        fake.fill(row, 255, 255, 255);
        QVERIFY(support::writeFile(fbPath(), fake.bytes));
        e->apply(lines(next, 0, 3));
        QCOMPARE(stat(*e, "earlier_outline_pixels"), 276 - 100);
        e->apply(update(QRect(0, 0, 600, 800), Panel::GC));
        QCOMPARE(stat(*e, "earlier_outline_pixels"), 0);
        QCOMPARE(stat(*e, "outline_pixels"), stat(*e, "outline_drawn_pixels"));
        QCOMPARE(e->panel().pixel(9, 59), uchar(0)); // a 3 pixel wide pen
        QCOMPARE(stat(*e, "stale_pixels"), 0);
        QCOMPARE(stat(*e, "flashes"), 1);
    }

    void lineThroughTheXServer()
    {
        // A line the service draws goes into the framebuffer Xvfb shares with
        // its clients (the X server itself then shows it) and reaches the
        // panel with the next update.
        REQUIRE_SANDBOX();
        QTemporaryDir fbdir;
        support::HelperProcess x;
        QVERIFY(x.startUntil("Xvfb", { ":57", "-screen", "0", "600x800x24", "-nolisten", "tcp", "-nocursor", "-noreset",
                                       "-fbdir", fbdir.path() },
                             [] { return QFile::exists("/tmp/.X11-unix/X57"); }));
        // The service waits for this X server before each command.
        qputenv("DISPLAY", ":57");
        support::HelperProcess service;
        QVERIFY(service.start(support::buildProgram("emulator/screen-service/screen-service"),
                              { "--fbdir", fbdir.path(), "--panel-raw", fbdir.filePath("panel.raw") }));
        QUdpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), Port);
        auto send = [&](const QByteArray& command) {
            client.write(command);
            return client.waitForReadyRead(3000) && client.readDatagram(nullptr, 0) >= 0;
        };
        // A white line from (10,20) to (109,20) on the X screen's own root
        // pattern, and the update that carries it, both answered once applied.
        XwdFramebuffer before;
        QTRY_VERIFY(before.open(fbdir.filePath("Xvfb_screen0")));
        QByteArray expected = before.grey();
        expected.replace(20 * 600 + 10, 100, QByteArray(100, char(255)));
        QVERIFY(send(support::makeRecord({ { Type, DrawLine }, { Points, 10 }, { Points + 4, 20 }, { Points + 8, 109 },
                                           { Points + 12, 20 }, { Color, 255 }, { Size, 1 }, { Wait, 2 } })));
        QVERIFY(send(support::makeRecord({ { Type, UpdateScreen }, { Waveform, 3 }, { Wait, 2 } })));

        // The X server shows the line too (asked last: Xvfb starts afresh
        // when its last client leaves).
        int status = -1;
        QVERIFY(support::writeFile(fbdir.filePath("root.xwd"), support::outputOf("xwd", { "-root", "-silent" }, &status)));
        QCOMPARE(status, 0);
        XwdFramebuffer root;
        QVERIFY(root.open(fbdir.filePath("root.xwd")));
        QVERIFY(root.grey() == expected);
        // The panel's picture follows within a write interval.
        QTRY_VERIFY(support::readFile(fbdir.filePath("panel.raw")) == expected);
    }

    void input_data()
    {
        QTest::addColumn<int>("key"); // 0: a click
        QTest::addColumn<bool>("repeated");
        QTest::addColumn<QPoint>("at"); // on a 600 x 400 view: the panel at half size, x 150-449
        QTest::addColumn<int>("button");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << false << QPoint() << 0 << QStringList{ "key Next" };
        QTest::newRow("Enter is OK") << int(Qt::Key_Enter) << false << QPoint() << 0 << QStringList{ "key Return" };
        QTest::newRow("F1 is Menu") << int(Qt::Key_F1) << false << QPoint() << 0 << QStringList{ "key Menu" };
        QTest::newRow("M is Menu") << int(Qt::Key_M) << false << QPoint() << 0 << QStringList{ "key Menu" };
        QTest::newRow("a held key is one press") << int(Qt::Key_Down) << true << QPoint() << 0 << QStringList();
        QTest::newRow("not a device key") << int(Qt::Key_Tab) << false << QPoint() << 0 << QStringList();
        QTest::newRow("a tap, in panel pixels") << 0 << false << QPoint(200, 100) << int(Qt::LeftButton)
                                                << QStringList{ "press 100 200", "release 100 200" };
        QTest::newRow("beside the panel") << 0 << false << QPoint(20, 100) << int(Qt::LeftButton) << QStringList();
        QTest::newRow("another button") << 0 << false << QPoint(300, 100) << int(Qt::RightButton) << QStringList();
    }
    void input()
    {
        QFETCH(int, key);
        QFETCH(bool, repeated);
        QFETCH(QPoint, at);
        QFETCH(int, button);
        InputTranslator input;
        PanelView view(QSize(600, 800), &input);
        view.resize(600, 400);
        QSignalSpy sent(&input, &InputTranslator::command);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeated);
        if (key != 0)
            QApplication::sendEvent(&view, &press);
        else
            QTest::mouseClick(&view, Qt::MouseButton(button), {}, at);
        QStringList got;
        for (const QList<QVariant>& s : sent)
            got << s.first().toString();
        QTEST(got, "lines");
    }

    // Held still for a second (a tremble allowed): the system manager's long
    // press while still down, never sooner; a drag is none.
    void longPress()
    {
        InputTranslator input;
        QSignalSpy sent(&input, &InputTranslator::command);
        const auto longPressed = [&] { return sent.last().first().toString().startsWith("long"); };
        QElapsedTimer held;
        held.start();
        input.press(QPoint(50, 50));
        input.move(QPoint(53, 54));
        QVERIFY(QTest::qWaitFor(longPressed, 5 * InputTranslator::LongPressMs));
        QVERIFY(held.elapsed() >= InputTranslator::LongPressMs);
        QCOMPARE(sent.last().first().toString(), QStringLiteral("long 50 50"));
        input.release(QPoint(53, 54));
        input.press(QPoint(50, 50));
        input.move(QPoint(50, 51 + InputTranslator::LongPressSlop));
        QVERIFY(!QTest::qWaitFor(longPressed, 2 * InputTranslator::LongPressMs));
    }
};

QTEST_MAIN(EmulatorTest)
#include "tst_emulator.moc"
