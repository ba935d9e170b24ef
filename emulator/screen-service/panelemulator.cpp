#include "panelemulator.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcPanel, "lirro.screenservice.panel", QtWarningMsg)

const char* const PanelEmulator::FramebufferFile = "Xvfb_screen0";

PanelEmulator::PanelEmulator(const Options& options, QObject* parent)
    : QObject(parent)
    , opts(options)
    , screen(options.panelSize)
    , display(options.display)
    , pollTimer(new QTimer(this))
    , writeTimer(new QTimer(this))
{
    clock.start();
    writeTimer->setSingleShot(true);
    connect(writeTimer, &QTimer::timeout, this, &PanelEmulator::writePicture);
    connect(pollTimer, &QTimer::timeout, this, &PanelEmulator::poll);
    if (!opts.fbdir.isEmpty())
        pollTimer->start(PollMs);
    ensureFramebuffer();
    // The device starts with a white panel; show that much at once.
    picturePending = true;
    writePicture();
    writeStats();
}

bool PanelEmulator::ensureFramebuffer()
{
    if (opts.fbdir.isEmpty())
        return false;
    if (framebuffer.isOpen() && !framebuffer.isReplaced())
        return true;
    // The X server may start after us, or start again.
    const QString path = QDir(opts.fbdir).filePath(QLatin1String(FramebufferFile));
    QString error;
    // Read-write: lines are drawn into it.
    if (!framebuffer.open(path, QIODevice::ReadWrite, &error)) {
        if (error != framebufferError)
            qCWarning(lcPanel, "framebuffer %s: %s", qPrintable(path), qPrintable(error));
        framebufferError = error;
        return false;
    }
    framebufferError.clear();
    QSize turned = framebuffer.size();
    if (opts.rotation == 90 || opts.rotation == 270)
        turned.transpose();
    if (turned != opts.panelSize)
        qCWarning(lcPanel, "framebuffer %dx%d at rotation %d does not fill the %dx%d panel",
                 framebuffer.size().width(), framebuffer.size().height(), opts.rotation,
                 opts.panelSize.width(), opts.panelSize.height());
    lastChecksum = framebuffer.checksum();
    framebufferChangedMs = clock.elapsed();
    staleCurrent = false;
    return true;
}

QByteArray PanelEmulator::physicalFramebuffer(QSize* size)
{
    *size = QSize();
    if (!ensureFramebuffer())
        return QByteArray();
    // Taken before the pixels: should the server draw in between, the next
    // look sees another checksum and counts again.
    sourceChecksum = framebuffer.checksum();
    return Panel::toPhysical(framebuffer.grey(), framebuffer.size(), opts.rotation, size);
}

QVector<int> PanelEmulator::linePixels(const QVector<QPoint>& points, int width, const QSize& panelSize)
{
    QVector<int> pixels;
    QByteArray seen(panelSize.width() * panelSize.height(), 0);
    const QRect bounds(QPoint(0, 0), panelSize);
    const int pen = qBound(1, width, CommandDecoder::MaxLineSize);
    const int from = -(pen - 1) / 2;
    // A square pen centred on the point, as wide as the line.
    auto plot = [&](int x, int y) {
        const QRect r = QRect(x + from, y + from, pen, pen).intersected(bounds);
        for (int py = r.top(); py <= r.bottom(); ++py) {
            for (int px = r.left(); px <= r.right(); ++px) {
                const int i = py * panelSize.width() + px;
                if (!seen[i]) {
                    seen[i] = 1;
                    pixels.append(i);
                }
            }
        }
    };
    if (points.size() == 1)
        plot(points[0].x(), points[0].y());
    for (int n = 1; n < points.size(); ++n) {
        // Bresenham, every step of the segment including both ends.
        int x = points[n - 1].x();
        int y = points[n - 1].y();
        const int x2 = points[n].x();
        const int y2 = points[n].y();
        const int dx = std::abs(x2 - x);
        const int dy = -std::abs(y2 - y);
        const int sx = x < x2 ? 1 : -1;
        const int sy = y < y2 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            plot(x, y);
            if (x == x2 && y == y2)
                break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }
    return pixels;
}

qint64 PanelEmulator::drawLines(const CommandDecoder::Command& c)
{
    earlierOutline = outline;
    outline.pixels = linePixels(c.points, c.lineSize, screen.size());
    std::sort(outline.pixels.begin(), outline.pixels.end());
    outline.grey = Panel::render(c.color, Panel::GU);
    // Into the framebuffer, as the device's service draws into the frame
    // buffer it shares with the program: the panel shows the line after the
    // next update, and the program's next repaint there erases it.
    if (!ensureFramebuffer())
        return 0;
    const QSize logical = framebuffer.size();
    const int width = screen.size().width();
    for (const int i : qAsConst(outline.pixels)) {
        const QPoint p = Panel::mapFromPanel(QPoint(i % width, i / width), logical, opts.rotation);
        framebuffer.setGrey(p.x(), p.y(), c.color);
    }
    return outline.pixels.size();
}

qint64 PanelEmulator::shownPixels(const Outline& o, const Outline* except) const
{
    const uchar* panel = reinterpret_cast<const uchar*>(screen.pixels().constData());
    qint64 shown = 0;
    for (const int i : o.pixels) {
        if (panel[i] == o.grey && !(except && std::binary_search(except->pixels.cbegin(), except->pixels.cend(), i)))
            ++shown;
    }
    return shown;
}

PanelEmulator::Effect PanelEmulator::apply(const CommandDecoder::Command& c)
{
    Effect effect;
    if (!c.valid)
        return effect;
    qCDebug(lcPanel, "command %s", qPrintable(CommandDecoder::typeName(c.type)));
    // What the program drew before it sent this is in the framebuffer first.
    display.sync();
    bool touchesPanel = false;
    if (c.type == CommandDecoder::DRAW_LINE || c.type == CommandDecoder::DRAW_LINES)
        effect.drawn = drawLines(c);
    QSize size;
    const QByteArray source = physicalFramebuffer(&size);
    switch (c.type) {
    case CommandDecoder::UPDATE_SCREEN:
    case CommandDecoder::UPDATE_REGION: {
        const QRect region = c.type == CommandDecoder::UPDATE_SCREEN ? QRect(QPoint(0, 0), screen.size()) : c.region;
        effect.panel = screen.update(region, source, size, c.waveform);
        touchesPanel = true;
        break;
    }
    case CommandDecoder::FILL_SCREEN:
        effect.panel = screen.fill(c.color, c.waveform);
        touchesPanel = true;
        break;
    default:
        break; // SYNC, WAIT_FOR_FINISHED: nothing to show; lines: not until an update
    }

    ++commands;
    const QString type = CommandDecoder::typeName(c.type);
    ++byType[type];
    const bool hasWaveform = c.type == CommandDecoder::UPDATE_SCREEN || c.type == CommandDecoder::UPDATE_REGION
        || c.type == CommandDecoder::FILL_SCREEN;
    if (hasWaveform) {
        ++byWaveform[CommandDecoder::waveformName(c.waveform).toVariant().toString()];
        if (c.waveform == Panel::GC)
            ++flashes;
    }
    pixelsUpdated += effect.panel.changed;
    pixelsCovered += effect.panel.covered;

    last = QJsonObject();
    last.insert(QStringLiteral("type"), type);
    if (hasWaveform)
        last.insert(QStringLiteral("waveform"), CommandDecoder::waveformName(c.waveform));
    last.insert(QStringLiteral("pixels_updated"), double(effect.panel.changed));
    last.insert(QStringLiteral("pixels_covered"), double(effect.panel.covered));
    if (effect.drawn > 0)
        last.insert(QStringLiteral("pixels_drawn"), double(effect.drawn));
    last.insert(QStringLiteral("ms"), double(clock.elapsed()));

    if (touchesPanel && effect.panel.changed > 0)
        scheduleWrite();
    recomputeStale(source, size);
    writeStats();
    return effect;
}

void PanelEmulator::recomputeStale()
{
    QSize size;
    const QByteArray source = physicalFramebuffer(&size);
    recomputeStale(source, size);
}

void PanelEmulator::recomputeStale(const QByteArray& source, const QSize& size)
{
    stalePixels = screen.staleAgainst(source, size);
    staleChecksum = sourceChecksum;
    staleCommands = commands;
    staleAtMs = clock.elapsed();
    staleCurrent = true;
}

void PanelEmulator::poll()
{
    if (!ensureFramebuffer())
        return;
    const qint64 now = clock.elapsed();
    const quint64 sum = framebuffer.checksum();
    if (sum != lastChecksum) {
        lastChecksum = sum;
        framebufferChangedMs = now;
        staleCurrent = false;
        return;
    }
    if (staleCurrent || now - framebufferChangedMs < SettleMs)
        return;
    const qint64 before = stalePixels;
    recomputeStale();
    if (stalePixels != before)
        writeStats();
}

QJsonObject PanelEmulator::stats()
{
    // Take the framebuffer as it is now, not as the last poll saw it.
    if (ensureFramebuffer()) {
        const quint64 sum = framebuffer.checksum();
        if (sum != lastChecksum) {
            lastChecksum = sum;
            framebufferChangedMs = clock.elapsed();
        }
    }
    // Unchanged framebuffer and panel since the last count: it still holds.
    if (!framebuffer.isOpen() || framebuffer.checksum() != staleChecksum || commands != staleCommands)
        recomputeStale();
    return figures();
}

QJsonObject PanelEmulator::figures() const
{
    QJsonObject types;
    for (auto it = byType.cbegin(); it != byType.cend(); ++it)
        types.insert(it.key(), double(it.value()));
    QJsonObject waveforms;
    for (auto it = byWaveform.cbegin(); it != byWaveform.cend(); ++it)
        waveforms.insert(it.key(), double(it.value()));
    const qint64 now = clock.elapsed();

    QJsonObject o;
    o.insert(QStringLiteral("commands"), double(commands));
    o.insert(QStringLiteral("by_type"), types);
    o.insert(QStringLiteral("by_waveform"), waveforms);
    o.insert(QStringLiteral("flashes"), double(flashes));
    o.insert(QStringLiteral("pixels_updated"), double(pixelsUpdated));
    o.insert(QStringLiteral("pixels_covered"), double(pixelsCovered));
    o.insert(QStringLiteral("last"), last);
    // The owner's view of the cursor: the last outline as the panel shows
    // it, and what the panel still shows of the one before (where not under
    // the last).
    o.insert(QStringLiteral("outline_drawn_pixels"), double(outline.pixels.size()));
    o.insert(QStringLiteral("outline_pixels"), double(shownPixels(outline)));
    o.insert(QStringLiteral("earlier_outline_pixels"), double(shownPixels(earlierOutline, &outline)));
    o.insert(QStringLiteral("stale_pixels"), double(stalePixels));
    o.insert(QStringLiteral("stale_ms"), double(staleAtMs));
    o.insert(QStringLiteral("framebuffer"), framebuffer.isOpen());
    // The picture files lag the panel by up to one write interval.
    o.insert(QStringLiteral("files_pending"), picturePending);
    o.insert(QStringLiteral("framebuffer_unchanged_ms"), double(now - framebufferChangedMs));
    o.insert(QStringLiteral("panel"), QJsonArray{screen.size().width(), screen.size().height()});
    o.insert(QStringLiteral("rotation"), opts.rotation);
    o.insert(QStringLiteral("ms"), double(now));
    return o;
}

void PanelEmulator::writeStats()
{
    if (opts.statsPath.isEmpty())
        return;
    QSaveFile file(opts.statsPath);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(figures()).toJson(QJsonDocument::Compact) + '\n') < 0 || !file.commit())
        qCWarning(lcPanel, "cannot write %s: %s", qPrintable(opts.statsPath), qPrintable(file.errorString()));
}

void PanelEmulator::scheduleWrite()
{
    if (opts.pngPath.isEmpty() && opts.rawPath.isEmpty())
        return;
    picturePending = true;
    if (writeTimer->isActive())
        return;
    const qint64 since = lastWriteMs < 0 ? WriteIntervalMs : clock.elapsed() - lastWriteMs;
    writeTimer->start(int(qBound<qint64>(0, WriteIntervalMs - since, WriteIntervalMs)));
}

void PanelEmulator::flushFiles()
{
    writeTimer->stop();
    writePicture();
}

void PanelEmulator::writePicture()
{
    if (!picturePending)
        return;
    lastWriteMs = clock.elapsed();
    const QByteArray& bytes = screen.pixels();
    if (!opts.rawPath.isEmpty()) {
        QSaveFile raw(opts.rawPath);
        if (!raw.open(QIODevice::WriteOnly) || raw.write(bytes) != bytes.size() || !raw.commit())
            qCWarning(lcPanel, "cannot write %s: %s", qPrintable(opts.rawPath), qPrintable(raw.errorString()));
    }
    if (!opts.pngPath.isEmpty()) {
        const QSize size = screen.size();
        const QImage image(reinterpret_cast<const uchar*>(bytes.constData()), size.width(), size.height(),
                           size.width(), QImage::Format_Grayscale8);
        QSaveFile png(opts.pngPath);
        if (!png.open(QIODevice::WriteOnly) || !image.save(&png, "PNG") || !png.commit())
            qCWarning(lcPanel, "cannot write %s: %s", qPrintable(opts.pngPath), qPrintable(png.errorString()));
    }
    picturePending = false;
    writeStats();
}
