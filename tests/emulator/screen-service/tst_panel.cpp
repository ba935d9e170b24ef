// The emulated panel: framebuffer reading, rotation, waveforms, lines,
// stale-pixel accounting and the files it keeps.

#include "commanddecoder.h"
#include "fakexwd.h"
#include "panel.h"
#include "panelemulator.h"
#include "xwdframebuffer.h"

#include "platform/screen/screenproxy.h"

#include <QImage>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Command = CommandDecoder::Command;

Command decoded(const QMap<int, qint32>& fields)
{
    QByteArray data(CommandDecoder::COMMAND_SIZE, '\0');
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        qToUnaligned<qint32>(it.value(), data.data() + it.key());
    const Command c = CommandDecoder::decode(data);
    if (!c.valid)
        qWarning("bad test record: %s", qPrintable(c.error));
    return c;
}

Command updateScreen(int waveform)
{
    return decoded({{0, CommandDecoder::UPDATE_SCREEN}, {4, waveform}, {160, 1}});
}

// Panel coordinates; the record holds top before left.
Command updateRegion(const QRect& r, int waveform)
{
    return decoded({{0, CommandDecoder::UPDATE_REGION}, {4, waveform}, {8, 1}, {12, r.top()}, {16, r.left()},
                    {20, r.width()}, {24, r.height()}, {160, 1}});
}

Command drawLines(const QVector<QPoint>& points, int color, int size)
{
    QMap<int, qint32> f{{0, CommandDecoder::DRAW_LINES}, {148, points.size()}, {152, color}, {156, size}};
    for (int i = 0; i < points.size(); ++i) {
        f.insert(28 + i * 8, points[i].x());
        f.insert(32 + i * 8, points[i].y());
    }
    return decoded(f);
}

Command drawLine(QPoint a, QPoint b, int color, int size)
{
    // Leftover points past the second must not be drawn.
    return decoded({{0, CommandDecoder::DRAW_LINE}, {28, a.x()}, {32, a.y()}, {36, b.x()}, {40, b.y()},
                    {44, 300}, {48, 300}, {148, 3}, {152, color}, {156, size}});
}

Command fillScreen(int color)
{
    return decoded({{0, CommandDecoder::FILL_SCREEN}, {4, 4}, {152, color}, {160, 1}});
}

qint64 stale(PanelEmulator& e)
{
    return qint64(e.stats().value("stale_pixels").toDouble());
}

QJsonObject readJson(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(f.readAll()).object();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class PanelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void framebufferFormats();
    void badFramebuffers();
    void rotations();
    void waveforms();
    void linesOnThePanelOnly();
    void stalePixels();
    void files();

private:
    // A white 600 x 800 screen (or turned) and an emulator on it.
    QTemporaryDir dir;
};

void PanelTest::framebufferFormats()
{
    struct Case {
        const char* name;
        FakeXwd::Format format;
        int tolerance;
    };
    FakeXwd::Format msb;
    msb.msbPixels = true;
    msb.littleHeader = true;
    msb.colours = 0;
    FakeXwd::Format packed;
    packed.bitsPerPixel = 24;
    packed.msbPixels = true;
    FakeXwd::Format packedLsb;
    packedLsb.bitsPerPixel = 24;
    packedLsb.linePad = 0;
    FakeXwd::Format rgb565;
    rgb565.bitsPerPixel = 16;
    const Case cases[] = {{"32 bpp", FakeXwd::Format(), 0},
                          {"32 bpp MSB first, little-endian header", msb, 0},
                          {"24 bpp MSB first", packed, 0},
                          {"24 bpp", packedLsb, 0},
                          {"16 bpp 565", rgb565, 4}};
    for (const Case& c : cases) {
        const QString path = dir.filePath(QStringLiteral("fb-%1").arg(c.name));
        FakeXwd fake;
        QVERIFY2(fake.create(path, QSize(7, 5), c.format), c.name);
        fake.set(0, 0, 255, 0, 0);
        fake.set(6, 4, 0, 0, 255);
        fake.set(3, 2, 0, 255, 0);
        fake.fillGrey(QRect(1, 1, 1, 1), 128);

        XwdFramebuffer fb;
        QString error;
        QVERIFY2(fb.open(path, &error), qPrintable(error));
        QCOMPARE(fb.size(), QSize(7, 5));
        QCOMPARE(fb.bitsPerPixel(), c.format.bitsPerPixel);
        const QByteArray g = fb.grey();
        QCOMPARE(g.size(), 35);
        auto near = [&](int index, int expected) {
            const int got = uchar(g[index]);
            if (qAbs(got - expected) > c.tolerance)
                qWarning("%s: pixel %d is %d, expected %d", c.name, index, got, expected);
            return qAbs(got - expected) <= c.tolerance;
        };
        QVERIFY(near(0, 76));       // red
        QVERIFY(near(34, 29));      // blue
        QVERIFY(near(2 * 7 + 3, 150)); // green
        QVERIFY(near(8, 128));
        QVERIFY(near(1, 255));
        QVERIFY(!fb.isReplaced());

        // The server drawing is seen through the mapping.
        const quint64 before = fb.checksum();
        fake.fillGrey(QRect(4, 4, 1, 1), 0);
        QVERIFY(fb.checksum() != before);
        QCOMPARE(uchar(fb.grey()[4 * 7 + 4]), uchar(0));
    }
}

void PanelTest::badFramebuffers()
{
    XwdFramebuffer fb;
    QString error;
    QVERIFY(!fb.open(dir.filePath("missing"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!fb.isOpen());

    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    };
    error.clear();
    QVERIFY(!fb.open(write("short", QByteArray(60, '\0')), &error));
    QVERIFY(!error.isEmpty());

    // A good file cut short before its pixels end, and one with another
    // version, and a colour-mapped 8-bit screen.
    const QString good = dir.filePath("good");
    {
        FakeXwd fake;
        QVERIFY(fake.create(good, QSize(10, 10)));
    }
    const QByteArray bytes = readAll(good);
    error.clear();
    QVERIFY(!fb.open(write("cut", bytes.left(bytes.size() - 20)), &error));
    QVERIFY2(error.contains("end of the file"), qPrintable(error));

    QByteArray version = bytes;
    qToBigEndian<quint32>(6, version.data() + 4);
    QVERIFY(!fb.open(write("v6", version), &error));

    QByteArray eightBit = bytes;
    qToBigEndian<quint32>(8, eightBit.data() + 11 * 4);
    error.clear();
    QVERIFY(!fb.open(write("8bpp", eightBit), &error));
    QVERIFY2(error.contains("bits per pixel"), qPrintable(error));
    QVERIFY(!fb.isOpen());
    QVERIFY(fb.grey().isEmpty());

    // A panel without a framebuffer takes commands but copies nothing.
    PanelEmulator::Options o;
    o.fbdir = dir.filePath("nowhere");
    PanelEmulator e(o);
    QCOMPARE(e.apply(updateScreen(3)).changed, qint64(0));
    QCOMPARE(e.stats().value("framebuffer").toBool(), false);
    QCOMPARE(e.stats().value("commands").toInt(), 1);
}

void PanelTest::rotations()
{
    struct Case {
        int degrees;
        QRect panelRect; // where the logical rectangle x 0-99, y 0-49 lands
        QPoint marker;   // where logical (120, 0) lands
    };
    const Case cases[] = {{0, QRect(0, 0, 100, 50), QPoint(120, 0)},
                          {90, QRect(0, 700, 50, 100), QPoint(0, 679)},
                          {180, QRect(500, 750, 100, 50), QPoint(479, 799)},
                          {270, QRect(550, 0, 50, 100), QPoint(599, 120)}};
    const QSize panelSize(600, 800);
    for (const Case& c : cases) {
        QTemporaryDir fbdir;
        const QSize logical = c.degrees % 180 ? panelSize.transposed() : panelSize;
        FakeXwd fake;
        QVERIFY(fake.create(fbdir.filePath("Xvfb_screen0"), logical));
        const QRect logicalRect(0, 0, 100, 50);
        fake.fillGrey(logicalRect, 0);
        fake.fillGrey(QRect(120, 0, 1, 1), 136);

        // What the client sends for that rectangle is what this table says.
        const QRect sent = vexa::screen::ScreenProxy::mapToPanel(logicalRect, QRect(QPoint(0, 0), logical), c.degrees);
        QCOMPARE(sent, c.panelRect);

        PanelEmulator::Options o;
        o.fbdir = fbdir.path();
        o.rotation = c.degrees;
        PanelEmulator e(o);
        const Panel::Change change = e.apply(updateRegion(sent, 3));
        QCOMPARE(change.covered, qint64(5000));
        QCOMPARE(change.changed, qint64(5000));
        const Panel& p = e.panel();
        qint64 black = 0;
        for (int y = 0; y < 800; ++y)
            for (int x = 0; x < 600; ++x)
                if (p.pixel(x, y) == 0) {
                    ++black;
                    QVERIFY(c.panelRect.contains(x, y));
                }
        QCOMPARE(black, qint64(5000));
        // The marker lies outside the region: not shown, and stale.
        QCOMPARE(p.pixel(c.marker.x(), c.marker.y()), uchar(255));
        QCOMPARE(stale(e), qint64(1));

        e.apply(updateScreen(3));
        QCOMPARE(p.pixel(c.marker.x(), c.marker.y()), uchar(136));
        QCOMPARE(stale(e), qint64(0));

        // A region partly off the panel is clipped to it.
        fake.fillGrey(QRect(QPoint(0, 0), logical), 0);
        QCOMPARE(e.apply(updateRegion(QRect(-10, -10, 20, 20), 3)).covered, qint64(100));
        QCOMPARE(e.apply(updateRegion(QRect(590, 790, 100, 100), 3)).covered, qint64(100));
        QCOMPARE(e.apply(updateRegion(QRect(700, 0, 10, 10), 3)).covered, qint64(0));
    }
}

void PanelTest::waveforms()
{
    QTemporaryDir fbdir;
    FakeXwd fake;
    QVERIFY(fake.create(fbdir.filePath("Xvfb_screen0"), QSize(600, 800)));
    for (int x = 0; x < 256; ++x)
        fake.fillGrey(QRect(x, 0, 1, 10), x);
    PanelEmulator::Options o;
    o.fbdir = fbdir.path();
    PanelEmulator e(o);
    const Panel& p = e.panel();
    const QRect strip(0, 0, 256, 10);

    // DW: black and white only, split at the middle grey.
    e.apply(updateRegion(strip, Panel::DW));
    for (int x = 0; x < 256; ++x)
        QCOMPARE(int(p.pixel(x, 5)), x < 128 ? 0 : 255);
    QVERIFY(stale(e) > 2000);

    // GU: 16 greys, each the nearest to what was asked.
    e.apply(updateRegion(strip, Panel::GU));
    QSet<int> levels;
    for (int x = 0; x < 256; ++x) {
        const int v = p.pixel(x, 9);
        levels.insert(v);
        QCOMPARE(v % 17, 0);
        QVERIFY2(qAbs(v - x) <= 8, qPrintable(QString::number(x)));
    }
    QCOMPARE(levels.size(), 16);
    QCOMPARE(stale(e), qint64(0));

    // GC shows the same greys and is a full flash; GU and DW are not.
    fake.fillGrey(strip, 255);
    QCOMPARE(e.stats().value("flashes").toInt(), 0);
    e.apply(updateRegion(strip, Panel::GC));
    QCOMPARE(p.pixel(40, 5), uchar(255));
    e.apply(updateScreen(Panel::GC));
    e.apply(fillScreen(255));
    const QJsonObject s = e.stats();
    QCOMPARE(s.value("flashes").toInt(), 3);
    QCOMPARE(s.value("commands").toInt(), 5);
    const QJsonObject w = s.value("by_waveform").toObject();
    QCOMPARE(w.value("DW").toInt(), 1);
    QCOMPARE(w.value("GU").toInt(), 1);
    QCOMPARE(w.value("GC").toInt(), 3);
    const QJsonObject t = s.value("by_type").toObject();
    QCOMPARE(t.value("UPDATE_REGION").toInt(), 3);
    QCOMPARE(t.value("UPDATE_SCREEN").toInt(), 1);
    QCOMPARE(t.value("FILL_SCREEN").toInt(), 1);
    QCOMPARE(s.value("last").toObject().value("type").toString(), QStringLiteral("FILL_SCREEN"));

    // The render rule itself at its edges.
    QCOMPARE(Panel::render(127, Panel::DW), uchar(0));
    QCOMPARE(Panel::render(128, Panel::DW), uchar(255));
    QCOMPARE(Panel::render(8, Panel::GU), uchar(0));
    QCOMPARE(Panel::render(9, Panel::GU), uchar(17));
    QCOMPARE(Panel::render(300, Panel::GC), uchar(255));
}

void PanelTest::linesOnThePanelOnly()
{
    QTemporaryDir fbdir;
    FakeXwd fake;
    QVERIFY(fake.create(fbdir.filePath("Xvfb_screen0"), QSize(600, 800)));
    PanelEmulator::Options o;
    o.fbdir = fbdir.path();
    PanelEmulator e(o);
    const Panel& p = e.panel();
    XwdFramebuffer fb;
    QVERIFY(fb.open(fbdir.filePath("Xvfb_screen0")));
    const QByteArray framebufferBefore = fb.grey();

    // The watcher's outline: five points round a rectangle, black, 1 pixel.
    Panel::Change c = e.apply(drawLines({{10, 20}, {109, 20}, {109, 59}, {10, 59}, {10, 20}}, 0, 1));
    QCOMPARE(c.changed, qint64(276));
    QCOMPARE(p.pixel(10, 20), uchar(0));
    QCOMPARE(p.pixel(60, 59), uchar(0));
    QCOMPARE(p.pixel(109, 40), uchar(0));
    QCOMPARE(p.pixel(60, 40), uchar(255));
    QCOMPARE(fb.grey(), framebufferBefore); // the framebuffer never sees it
    QJsonObject s = e.stats();
    QCOMPARE(s.value("outline_pixels").toInt(), 276);
    QCOMPARE(s.value("stale_pixels").toInt(), 0);

    // A wide grey line; points past the second are leftovers.
    c = e.apply(drawLine({200, 200}, {200, 209}, 128, 3));
    QCOMPARE(c.changed, qint64(36));
    QCOMPARE(p.pixel(199, 199), uchar(136));
    QCOMPARE(p.pixel(201, 210), uchar(136));
    QCOMPARE(p.pixel(202, 205), uchar(255));
    QCOMPARE(p.pixel(300, 300), uchar(255));
    QCOMPARE(e.stats().value("outline_pixels").toInt(), 312);

    // An update over part of the outline wipes that part and only that.
    e.apply(updateRegion(QRect(0, 0, 60, 100), 3));
    QCOMPARE(p.pixel(10, 20), uchar(255));
    QCOMPARE(p.pixel(60, 20), uchar(0));
    QVERIFY(!p.isOutline(59, 20));
    QVERIFY(p.isOutline(60, 20));
    QCOMPARE(e.stats().value("outline_pixels").toInt(), 312 - 138);

    // Where the program then paints under the outline, the outline still
    // hides it: those pixels (x 100-109) are not stale, the ones beside are.
    fake.fillGrey(QRect(100, 20, 20, 1), 0);
    QCOMPARE(stale(e), qint64(10));

    e.apply(updateScreen(3));
    s = e.stats();
    QCOMPARE(s.value("outline_pixels").toInt(), 0);
    QCOMPARE(s.value("stale_pixels").toInt(), 0);
    QCOMPARE(p.pixel(200, 205), uchar(255));

    // Too many points in the record: nothing drawn.
    const Command bad = decoded({{0, CommandDecoder::DRAW_LINES}, {148, 16}});
    QCOMPARE(e.apply(bad).changed, qint64(0));

    // Filling wipes every outline and shows the colour everywhere.
    e.apply(drawLine({0, 0}, {599, 0}, 0, 1));
    e.apply(fillScreen(0));
    QCOMPARE(e.stats().value("outline_pixels").toInt(), 0);
    QCOMPARE(stale(e), qint64(600 * 800 - 20));
    QCOMPARE(p.pixel(599, 799), uchar(0));
}

void PanelTest::stalePixels()
{
    QTemporaryDir fbdir;
    FakeXwd fake;
    QVERIFY(fake.create(fbdir.filePath("Xvfb_screen0"), QSize(600, 800)));
    PanelEmulator::Options o;
    o.fbdir = fbdir.path();
    o.statsPath = dir.filePath("stale-stats.json");
    PanelEmulator e(o);
    e.apply(updateScreen(3));
    QCOMPARE(stale(e), qint64(0));

    // Painted, never asked for: stale, also in the file once the
    // framebuffer has been still for a while.
    fake.fillGrey(QRect(0, 0, 100, 100), 0);
    QTRY_COMPARE_WITH_TIMEOUT(readJson(o.statsPath).value("stale_pixels").toInt(), 10000, 2000);
    QVERIFY(readJson(o.statsPath).value("framebuffer_unchanged_ms").toInt() >= PanelEmulator::SETTLE_MS);
    QCOMPARE(stale(e), qint64(10000));

    // Half of it asked for.
    e.apply(updateRegion(QRect(0, 0, 50, 100), 3));
    QCOMPARE(stale(e), qint64(5000));
    QCOMPARE(readJson(o.statsPath).value("stale_pixels").toInt(), 5000);

    // A change the panel cannot show (within one of its 16 greys) is not stale.
    fake.fillGrey(QRect(300, 300, 10, 10), 250);
    QCOMPARE(stale(e), qint64(5000));

    e.apply(updateScreen(3));
    QCOMPARE(stale(e), qint64(0));
    QCOMPARE(readJson(o.statsPath).value("stale_pixels").toInt(), 0);
    QCOMPARE(readJson(o.statsPath).value("pixels_updated").toInt(), 10000);
}

void PanelTest::files()
{
    QTemporaryDir fbdir;
    FakeXwd fake;
    QVERIFY(fake.create(fbdir.filePath("Xvfb_screen0"), QSize(600, 800)));
    PanelEmulator::Options o;
    o.fbdir = fbdir.path();
    o.pngPath = dir.filePath("panel.png");
    o.rawPath = dir.filePath("panel.raw");
    o.statsPath = dir.filePath("stats.json");
    PanelEmulator e(o);

    // The white panel is there from the start.
    QCOMPARE(readAll(o.rawPath), QByteArray(600 * 800, char(255)));
    QCOMPARE(QImage(o.pngPath).size(), QSize(600, 800));

    fake.fillGrey(QRect(10, 10, 30, 30), 0);
    QElapsedTimer timer;
    timer.start();
    e.apply(updateScreen(3));
    QCOMPARE(readJson(o.statsPath).value("commands").toInt(), 1);
    // Written after the interval, not at once.
    QTRY_COMPARE_WITH_TIMEOUT(readAll(o.rawPath), e.panel().pixels(), 2000);
    QVERIFY(timer.elapsed() >= PanelEmulator::WRITE_INTERVAL_MS - 50);
    QImage png(o.pngPath);
    QCOMPARE(png.size(), QSize(600, 800));
    png = png.convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(qGray(png.pixel(20, 20)), 0);
    QCOMPARE(qGray(png.pixel(50, 50)), 255);

    // Many changes in a burst: written once at the end of the interval.
    for (int i = 0; i < 20; ++i)
        e.apply(drawLine({i, 100}, {i, 120}, 0, 1));
    e.flushFiles();
    QCOMPARE(readAll(o.rawPath), e.panel().pixels());
    QCOMPARE(readJson(o.statsPath).value("commands").toInt(), 21);
    QCOMPARE(readJson(o.statsPath).value("outline_pixels").toInt(), 20 * 21);
    QCOMPARE(QDir(dir.path()).entryList({"*.png", "*.raw"}).size(), 2); // no leftovers
}

QTEST_GUILESS_MAIN(PanelTest)
#include "tst_panel.moc"
