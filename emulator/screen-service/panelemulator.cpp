#include "panelemulator.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTimer>

PanelEmulator::PanelEmulator(const Options& options, QObject* parent)
    : QObject(parent)
    , opts(options)
    , screen(options.panelSize)
    , pollTimer(new QTimer(this))
    , writeTimer(new QTimer(this))
{
    clock.start();
    writeTimer->setSingleShot(true);
    connect(writeTimer, &QTimer::timeout, this, &PanelEmulator::writePicture);
    connect(pollTimer, &QTimer::timeout, this, &PanelEmulator::poll);
    if (!opts.fbdir.isEmpty())
        pollTimer->start(POLL_MS);
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
    const QString path = QDir(opts.fbdir).filePath(QLatin1String(FRAMEBUFFER_FILE));
    QString error;
    if (!framebuffer.open(path, &error)) {
        if (error != framebufferError)
            qWarning("screen-service: framebuffer %s: %s", qPrintable(path), qPrintable(error));
        framebufferError = error;
        return false;
    }
    framebufferError.clear();
    QSize turned = framebuffer.size();
    if (opts.rotation == 90 || opts.rotation == 270)
        turned.transpose();
    if (turned != opts.panelSize)
        qWarning("screen-service: framebuffer %dx%d at rotation %d does not fill the %dx%d panel",
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

Panel::Change PanelEmulator::apply(const CommandDecoder::Command& c)
{
    Panel::Change change;
    if (!c.valid)
        return change;
    bool touchesPanel = true;
    QSize size;
    const QByteArray source = physicalFramebuffer(&size);
    switch (c.type) {
    case CommandDecoder::UPDATE_SCREEN:
    case CommandDecoder::UPDATE_REGION: {
        const QRect region = c.type == CommandDecoder::UPDATE_SCREEN ? QRect(QPoint(0, 0), screen.size()) : c.region;
        change = screen.update(region, source, size, c.waveform);
        break;
    }
    case CommandDecoder::DRAW_LINE:
    case CommandDecoder::DRAW_LINES:
        change = screen.drawLines(c.points, c.color, c.line_size);
        break;
    case CommandDecoder::FILL_SCREEN:
        change = screen.fill(c.color, c.waveform);
        break;
    default:
        touchesPanel = false; // SYNC, WAIT_FOR_FINISHED: nothing to show
        break;
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
    pixelsUpdated += change.changed;
    pixelsCovered += change.covered;

    last = QJsonObject();
    last.insert(QStringLiteral("type"), type);
    if (hasWaveform)
        last.insert(QStringLiteral("waveform"), CommandDecoder::waveformName(c.waveform));
    last.insert(QStringLiteral("pixels_updated"), double(change.changed));
    last.insert(QStringLiteral("pixels_covered"), double(change.covered));
    last.insert(QStringLiteral("ms"), double(clock.elapsed()));

    if (touchesPanel && change.changed > 0)
        scheduleWrite();
    recomputeStale(source, size);
    writeStats();
    return change;
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
    if (staleCurrent || now - framebufferChangedMs < SETTLE_MS)
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
    o.insert(QStringLiteral("outline_pixels"), double(screen.outlinePixels()));
    o.insert(QStringLiteral("stale_pixels"), double(stalePixels));
    o.insert(QStringLiteral("stale_ms"), double(staleAtMs));
    o.insert(QStringLiteral("framebuffer"), framebuffer.isOpen());
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
        qWarning("screen-service: cannot write %s: %s", qPrintable(opts.statsPath), qPrintable(file.errorString()));
}

void PanelEmulator::scheduleWrite()
{
    if (opts.pngPath.isEmpty() && opts.rawPath.isEmpty())
        return;
    picturePending = true;
    if (writeTimer->isActive())
        return;
    const qint64 since = lastWriteMs < 0 ? WRITE_INTERVAL_MS : clock.elapsed() - lastWriteMs;
    writeTimer->start(int(qBound<qint64>(0, WRITE_INTERVAL_MS - since, WRITE_INTERVAL_MS)));
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
    picturePending = false;
    lastWriteMs = clock.elapsed();
    const QByteArray& bytes = screen.pixels();
    if (!opts.rawPath.isEmpty()) {
        QSaveFile raw(opts.rawPath);
        if (!raw.open(QIODevice::WriteOnly) || raw.write(bytes) != bytes.size() || !raw.commit())
            qWarning("screen-service: cannot write %s: %s", qPrintable(opts.rawPath), qPrintable(raw.errorString()));
    }
    if (!opts.pngPath.isEmpty()) {
        const QSize size = screen.size();
        const QImage image(reinterpret_cast<const uchar*>(bytes.constData()), size.width(), size.height(),
                           size.width(), QImage::Format_Grayscale8);
        QSaveFile png(opts.pngPath);
        if (!png.open(QIODevice::WriteOnly) || !image.save(&png, "PNG") || !png.commit())
            qWarning("screen-service: cannot write %s: %s", qPrintable(opts.pngPath), qPrintable(png.errorString()));
    }
}
