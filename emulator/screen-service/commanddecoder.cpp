#include "commanddecoder.h"

#include <QJsonArray>
#include <QtEndian>

namespace {

// Field offsets of the record; note top before left.
const int TypeOffset = 0;
const int WaveformOffset = 4;
const int PartialOffset = 8;
const int TopOffset = 12;
const int LeftOffset = 16;
const int WidthOffset = 20;
const int HeightOffset = 24;
const int PointsOffset = 28;
const int PointCountOffset = 148;
const int ColorOffset = 152;
const int SizeOffset = 156;
const int WaitOffset = 160;

// The client and the service share the host, so the record is in host order.
qint32 field(const QByteArray& data, int offset)
{
    return qFromUnaligned<qint32>(data.constData() + offset);
}

QPoint point(const QByteArray& data, int index)
{
    const int offset = PointsOffset + index * 8;
    return QPoint(field(data, offset), field(data, offset + 4));
}

// Each value is checked before use: a huge one would overflow the
// arithmetic that places it on the panel.
bool bounded(qint32 value, qint32 low, qint32 high, const char* name, QString* error)
{
    if (value >= low && value <= high)
        return true;
    *error = QStringLiteral("%1 %2 out of range %3 to %4").arg(QLatin1String(name)).arg(value).arg(low).arg(high);
    return false;
}

bool coordinate(qint32 value, const char* name, QString* error)
{
    return bounded(value, -CommandDecoder::MaxCoordinate, CommandDecoder::MaxCoordinate, name, error);
}

bool readRegion(const QByteArray& data, QRect* region, QString* error)
{
    const qint32 top = field(data, TopOffset);
    const qint32 left = field(data, LeftOffset);
    const qint32 width = field(data, WidthOffset);
    const qint32 height = field(data, HeightOffset);
    if (!coordinate(top, "top", error) || !coordinate(left, "left", error) || !coordinate(width, "width", error)
        || !coordinate(height, "height", error))
        return false;
    *region = QRect(left, top, width, height);
    return true;
}

bool readLine(const QByteArray& data, int count, CommandDecoder::Command* c)
{
    c->color = field(data, ColorOffset);
    c->lineSize = field(data, SizeOffset);
    if (!bounded(c->lineSize, 0, CommandDecoder::MaxLineSize, "size", &c->error))
        return false;
    for (int i = 0; i < count; ++i) {
        const QPoint p = point(data, i);
        if (!coordinate(p.x(), "x", &c->error) || !coordinate(p.y(), "y", &c->error))
            return false;
        c->points.append(p);
    }
    return true;
}

} // namespace

CommandDecoder::Command CommandDecoder::decode(const QByteArray& datagram)
{
    Command c;
    c.size = datagram.size();
    if (datagram.size() != CommandSize) {
        c.error = QStringLiteral("datagram of %1 bytes, expected %2").arg(datagram.size()).arg(CommandSize);
        return c;
    }
    for (int offset = 0; offset < CommandSize; offset += 4)
        c.raw.append(field(datagram, offset));

    c.type = field(datagram, TypeOffset);
    c.wait = field(datagram, WaitOffset);
    bool sound = true;
    switch (c.type) {
    case WAIT_FOR_FINISHED:
        break;
    case SYNC:
        sound = readRegion(datagram, &c.region, &c.error);
        break;
    case UPDATE_SCREEN:
        c.waveform = field(datagram, WaveformOffset);
        c.partial = field(datagram, PartialOffset);
        break;
    case UPDATE_REGION:
        c.waveform = field(datagram, WaveformOffset);
        c.partial = field(datagram, PartialOffset);
        sound = readRegion(datagram, &c.region, &c.error);
        break;
    case DRAW_LINE:
        sound = readLine(datagram, 2, &c);
        break;
    case DRAW_LINES:
        c.pointCount = field(datagram, PointCountOffset);
        sound = bounded(c.pointCount, 0, MaxPoints, "point_count", &c.error) && readLine(datagram, c.pointCount, &c);
        break;
    case FILL_SCREEN:
        c.waveform = field(datagram, WaveformOffset);
        c.partial = field(datagram, PartialOffset);
        c.color = field(datagram, ColorOffset);
        break;
    default:
        c.error = QStringLiteral("unknown command type %1").arg(c.type);
        sound = false;
        break;
    }
    c.valid = sound;
    return c;
}

bool CommandDecoder::wantsReply(const Command& command)
{
    // A record that could not be read is not answered either: its wait field
    // is as meaningless as the rest.
    return command.valid && (command.wait & ReplyWaitBit) != 0;
}

QString CommandDecoder::typeName(int type)
{
    switch (type) {
    case WAIT_FOR_FINISHED: return QStringLiteral("WAIT_FOR_FINISHED");
    case SYNC: return QStringLiteral("SYNC");
    case UPDATE_SCREEN: return QStringLiteral("UPDATE_SCREEN");
    case UPDATE_REGION: return QStringLiteral("UPDATE_REGION");
    case DRAW_LINE: return QStringLiteral("DRAW_LINE");
    case DRAW_LINES: return QStringLiteral("DRAW_LINES");
    case FILL_SCREEN: return QStringLiteral("FILL_SCREEN");
    default: return QStringLiteral("UNKNOWN");
    }
}

QJsonValue CommandDecoder::waveformName(int waveform)
{
    switch (waveform) {
    case 1: return QStringLiteral("DW");
    case 3: return QStringLiteral("GU");
    case 4: return QStringLiteral("GC");
    default: return waveform;
    }
}

QJsonObject CommandDecoder::toJson(const Command& c)
{
    QJsonObject o;
    if (c.size != CommandSize) {
        o.insert(QStringLiteral("error"), c.error);
        o.insert(QStringLiteral("bytes"), c.size);
        return o;
    }
    o.insert(QStringLiteral("type"), typeName(c.type));
    o.insert(QStringLiteral("type_code"), c.type);
    if (!c.valid) {
        o.insert(QStringLiteral("error"), c.error);
        QJsonArray raw;
        for (qint32 v : c.raw)
            raw.append(v);
        o.insert(QStringLiteral("raw"), raw);
        return o;
    }

    const bool hasWaveform = c.type == UPDATE_SCREEN || c.type == UPDATE_REGION || c.type == FILL_SCREEN;
    const bool hasRegion = c.type == SYNC || c.type == UPDATE_REGION;
    const bool hasLine = c.type == DRAW_LINE || c.type == DRAW_LINES;
    if (hasWaveform) {
        o.insert(QStringLiteral("waveform"), waveformName(c.waveform));
        o.insert(QStringLiteral("partial"), c.partial);
    }
    if (hasRegion) {
        o.insert(QStringLiteral("top"), c.region.top());
        o.insert(QStringLiteral("left"), c.region.left());
        o.insert(QStringLiteral("width"), c.region.width());
        o.insert(QStringLiteral("height"), c.region.height());
    }
    if (hasLine) {
        QJsonArray points;
        for (const QPoint& p : c.points)
            points.append(QJsonArray{p.x(), p.y()});
        o.insert(QStringLiteral("points"), points);
        if (c.type == DRAW_LINES)
            o.insert(QStringLiteral("point_count"), c.pointCount);
        o.insert(QStringLiteral("size"), c.lineSize);
    }
    if (hasLine || c.type == FILL_SCREEN)
        o.insert(QStringLiteral("color"), c.color);
    o.insert(QStringLiteral("wait"), c.wait);
    return o;
}
