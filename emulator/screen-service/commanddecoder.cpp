#include "commanddecoder.h"

#include <QJsonArray>
#include <QtEndian>

namespace {

// Field offsets of the record; note top before left.
constexpr int kType = 0;
constexpr int kWaveform = 4;
constexpr int kPartial = 8;
constexpr int kTop = 12;
constexpr int kLeft = 16;
constexpr int kWidth = 20;
constexpr int kHeight = 24;
constexpr int kPoints = 28;
constexpr int kPointCount = 148;
constexpr int kColor = 152;
constexpr int kSize = 156;
constexpr int kWait = 160;

// The client and the service share the host, so the record is in host order.
qint32 field(const QByteArray& data, int offset)
{
    return qFromUnaligned<qint32>(data.constData() + offset);
}

QPoint point(const QByteArray& data, int index)
{
    const int offset = kPoints + index * 8;
    return QPoint(field(data, offset), field(data, offset + 4));
}

} // namespace

CommandDecoder::Command CommandDecoder::decode(const QByteArray& datagram)
{
    Command c;
    c.size = datagram.size();
    if (datagram.size() != COMMAND_SIZE) {
        c.error = QStringLiteral("datagram of %1 bytes, expected %2").arg(datagram.size()).arg(COMMAND_SIZE);
        return c;
    }
    for (int offset = 0; offset < COMMAND_SIZE; offset += 4)
        c.raw.append(field(datagram, offset));

    c.type = field(datagram, kType);
    c.wait = field(datagram, kWait);
    switch (c.type) {
    case WAIT_FOR_FINISHED:
        break;
    case SYNC:
        c.region = QRect(field(datagram, kLeft), field(datagram, kTop),
                         field(datagram, kWidth), field(datagram, kHeight));
        break;
    case UPDATE_SCREEN:
        c.waveform = field(datagram, kWaveform);
        c.partial = field(datagram, kPartial);
        break;
    case UPDATE_REGION:
        c.waveform = field(datagram, kWaveform);
        c.partial = field(datagram, kPartial);
        c.region = QRect(field(datagram, kLeft), field(datagram, kTop),
                         field(datagram, kWidth), field(datagram, kHeight));
        break;
    case DRAW_LINE:
        c.points = {point(datagram, 0), point(datagram, 1)};
        c.color = field(datagram, kColor);
        c.line_size = field(datagram, kSize);
        break;
    case DRAW_LINES:
        c.point_count = field(datagram, kPointCount);
        c.color = field(datagram, kColor);
        c.line_size = field(datagram, kSize);
        if (c.point_count < 0 || c.point_count > MAX_POINTS) {
            c.error = QStringLiteral("point_count %1 out of range 0-%2").arg(c.point_count).arg(MAX_POINTS);
            return c;
        }
        for (int i = 0; i < c.point_count; ++i)
            c.points.append(point(datagram, i));
        break;
    case FILL_SCREEN:
        c.waveform = field(datagram, kWaveform);
        c.partial = field(datagram, kPartial);
        c.color = field(datagram, kColor);
        break;
    default:
        c.error = QStringLiteral("unknown command type %1").arg(c.type);
        return c;
    }
    c.valid = true;
    return c;
}

bool CommandDecoder::wantsReply(const Command& command)
{
    // A record that could not be read is not answered either: its wait field
    // is as meaningless as the rest.
    return command.valid && (command.wait & REPLY_WAIT_BIT) != 0;
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
    if (c.size != COMMAND_SIZE) {
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
            o.insert(QStringLiteral("point_count"), c.point_count);
        o.insert(QStringLiteral("size"), c.line_size);
    }
    if (hasLine || c.type == FILL_SCREEN)
        o.insert(QStringLiteral("color"), c.color);
    o.insert(QStringLiteral("wait"), c.wait);
    return o;
}
