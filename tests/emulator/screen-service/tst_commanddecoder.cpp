// What the screen-service reads from each command record.

#include "commanddecoder.h"

#include <QJsonArray>
#include <QtEndian>
#include <QtTest>

namespace {

// A record with every field set to a distinct junk value, as a client's
// leftovers would be, then the given fields.
QByteArray record(const QMap<int, qint32>& fields)
{
    QByteArray data(CommandDecoder::COMMAND_SIZE, '\0');
    for (int offset = 0; offset < data.size(); offset += 4)
        qToUnaligned<qint32>(1000 + offset, data.data() + offset);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        qToUnaligned<qint32>(it.value(), data.data() + it.key());
    return data;
}

QJsonObject json(const QMap<int, qint32>& fields)
{
    return CommandDecoder::toJson(CommandDecoder::decode(record(fields)));
}

QStringList keys(const QJsonObject& o)
{
    QStringList k = o.keys();
    k.sort();
    return k;
}

} // namespace

class CommandDecoderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyType();
    void badRecords();
    void replies();
};

void CommandDecoderTest::everyType()
{
    QJsonObject o = json({{0, 0}, {160, 1}});
    QCOMPARE(o.value("type").toString(), QStringLiteral("WAIT_FOR_FINISHED"));
    QCOMPARE(keys(o), (QStringList{"type", "type_code", "wait"}));
    QCOMPARE(o.value("wait").toInt(), 1);

    o = json({{0, 1}, {12, 60}, {16, 50}, {20, 70}, {24, 80}, {160, 1}});
    QCOMPARE(o.value("type").toString(), QStringLiteral("SYNC"));
    QCOMPARE(keys(o), (QStringList{"height", "left", "top", "type", "type_code", "wait", "width"}));
    QCOMPARE(o.value("top").toInt(), 60); // top is the field before left
    QCOMPARE(o.value("left").toInt(), 50);
    QCOMPARE(o.value("width").toInt(), 70);
    QCOMPARE(o.value("height").toInt(), 80);

    o = json({{0, 2}, {4, 3}, {8, 0}, {160, 3}});
    QCOMPARE(o.value("type").toString(), QStringLiteral("UPDATE_SCREEN"));
    QCOMPARE(keys(o), (QStringList{"partial", "type", "type_code", "wait", "waveform"}));
    QCOMPARE(o.value("waveform").toString(), QStringLiteral("GU"));
    QCOMPARE(o.value("partial").toInt(), 0);
    QCOMPARE(o.value("wait").toInt(), 3);

    o = json({{0, 3}, {4, 1}, {8, 1}, {12, 500}, {16, 0}, {20, 50}, {24, 100}, {160, 0}});
    QCOMPARE(o.value("type").toString(), QStringLiteral("UPDATE_REGION"));
    QCOMPARE(keys(o), (QStringList{"height", "left", "partial", "top", "type", "type_code", "wait",
                                   "waveform", "width"}));
    QCOMPARE(o.value("waveform").toString(), QStringLiteral("DW"));
    QCOMPARE(o.value("partial").toInt(), 1);
    QCOMPARE(o.value("top").toInt(), 500);
    QCOMPARE(o.value("left").toInt(), 0);
    QCOMPARE(o.value("width").toInt(), 50);
    QCOMPARE(o.value("height").toInt(), 100);

    // Waveforms without a name are logged as numbers.
    QCOMPARE(json({{0, 3}, {4, 5}}).value("waveform").toInt(), 5);
    QCOMPARE(json({{0, 2}, {4, 0}}).value("waveform").toInt(), 0);

    // DRAW_LINE: the first two points only, whatever point_count holds.
    o = json({{0, 4}, {28, 1}, {32, 2}, {36, 3}, {40, 4}, {148, 9}, {152, 255}, {156, 2}, {160, 0}});
    QCOMPARE(o.value("type").toString(), QStringLiteral("DRAW_LINE"));
    QCOMPARE(keys(o), (QStringList{"color", "points", "size", "type", "type_code", "wait"}));
    QCOMPARE(o.value("points").toArray(), (QJsonArray{QJsonArray{1, 2}, QJsonArray{3, 4}}));
    QCOMPARE(o.value("color").toInt(), 255);
    QCOMPARE(o.value("size").toInt(), 2);

    // DRAW_LINES: point_count points, up to all fifteen.
    QMap<int, qint32> lines{{0, 5}, {148, 15}, {152, 0}, {156, 1}, {160, 0}};
    QJsonArray expected;
    for (int i = 0; i < 15; ++i) {
        lines.insert(28 + 8 * i, i);
        lines.insert(32 + 8 * i, 100 - i);
        expected.append(QJsonArray{i, 100 - i});
    }
    o = json(lines);
    QCOMPARE(o.value("type").toString(), QStringLiteral("DRAW_LINES"));
    QCOMPARE(keys(o), (QStringList{"color", "point_count", "points", "size", "type", "type_code", "wait"}));
    QCOMPARE(o.value("points").toArray(), expected);
    QCOMPARE(o.value("point_count").toInt(), 15);
    lines.insert(148, 2);
    QCOMPARE(json(lines).value("points").toArray().size(), 2);
    lines.insert(148, 0);
    QCOMPARE(json(lines).value("points").toArray(), QJsonArray());

    o = json({{0, 6}, {4, 4}, {8, 0}, {152, 128}, {160, 1}});
    QCOMPARE(o.value("type").toString(), QStringLiteral("FILL_SCREEN"));
    QCOMPARE(keys(o), (QStringList{"color", "partial", "type", "type_code", "wait", "waveform"}));
    QCOMPARE(o.value("waveform").toString(), QStringLiteral("GC"));
    QCOMPARE(o.value("color").toInt(), 128);

    for (int type = 0; type <= 6; ++type) {
        const CommandDecoder::Command c = CommandDecoder::decode(record({{0, type}, {148, 3}}));
        QVERIFY(c.valid);
        QCOMPARE(c.type, type);
        QCOMPARE(json({{0, type}, {148, 3}}).value("type_code").toInt(), type);
    }
}

void CommandDecoderTest::badRecords()
{
    for (int size : {0, 1, 163, 165, 328}) {
        const CommandDecoder::Command c = CommandDecoder::decode(QByteArray(size, '\x02'));
        QVERIFY(!c.valid);
        const QJsonObject o = CommandDecoder::toJson(c);
        QCOMPARE(keys(o), (QStringList{"bytes", "error"}));
        QCOMPARE(o.value("bytes").toInt(), size);
        QVERIFY(o.value("error").toString().contains(QString::number(size)));
        QVERIFY(!CommandDecoder::wantsReply(c));
    }

    // Unknown types and impossible point counts are logged raw, not read.
    QJsonObject o = json({{0, 7}, {160, 2}});
    QCOMPARE(o.value("type").toString(), QStringLiteral("UNKNOWN"));
    QCOMPARE(o.value("type_code").toInt(), 7);
    QVERIFY(o.contains("error"));
    QCOMPARE(o.value("raw").toArray().size(), 41);
    QCOMPARE(o.value("raw").toArray().at(40).toInt(), 2);
    QVERIFY(!CommandDecoder::wantsReply(CommandDecoder::decode(record({{0, 7}, {160, 2}}))));
    QCOMPARE(json({{0, -1}}).value("type").toString(), QStringLiteral("UNKNOWN"));

    for (int count : {16, -1, 1000000}) {
        o = json({{0, 5}, {148, count}});
        QCOMPARE(o.value("type").toString(), QStringLiteral("DRAW_LINES"));
        QVERIFY(o.contains("error"));
        QVERIFY(!o.contains("points"));
        QCOMPARE(o.value("raw").toArray().at(37).toInt(), count);
    }
}

void CommandDecoderTest::replies()
{
    auto wants = [](qint32 type, qint32 wait) {
        return CommandDecoder::wantsReply(CommandDecoder::decode(record({{0, type}, {160, wait}})));
    };
    QVERIFY(!wants(3, 0));
    QVERIFY(!wants(3, 1));
    QVERIFY(wants(3, 2));
    QVERIFY(wants(3, 3));
    QVERIFY(wants(2, 3));
    QVERIFY(wants(0, 2));
    // The wait field's other bits do not matter.
    QVERIFY(wants(6, 6));
    QVERIFY(!wants(6, 5));
}

QTEST_GUILESS_MAIN(CommandDecoderTest)
#include "tst_commanddecoder.moc"
