#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>

// Reads one screen command datagram. Only the fields that belong to the
// command's type are taken; the rest of the record holds leftovers of the
// client's earlier commands and means nothing. Every value taken is bounded:
// a record with one out of range is not applied.
class CommandDecoder
{
public:
    static constexpr int CommandSize = 164;
    static constexpr int MaxPoints = 15;
    static constexpr int ReplyWaitBit = 2;
    // Coordinates and sizes beyond this are no screen's.
    static constexpr int MaxCoordinate = 65535;
    static constexpr int MaxLineSize = 32;

    enum Type {
        WAIT_FOR_FINISHED = 0,
        SYNC = 1,
        UPDATE_SCREEN = 2,
        UPDATE_REGION = 3,
        DRAW_LINE = 4,
        DRAW_LINES = 5,
        FILL_SCREEN = 6,
    };

    struct Command
    {
        bool valid = false;    // a known type with sound fields
        QString error;         // why not, when not
        int size = 0;          // datagram size in bytes
        int type = -1;
        int waveform = 0;      // UPDATE_SCREEN, UPDATE_REGION, FILL_SCREEN
        int partial = 0;       // same
        QRect region;          // SYNC, UPDATE_REGION (panel coordinates)
        QVector<QPoint> points; // DRAW_LINE (2), DRAW_LINES (pointCount)
        int pointCount = 0;    // DRAW_LINES
        int color = 0;         // DRAW_LINE, DRAW_LINES, FILL_SCREEN
        int lineSize = 0;      // DRAW_LINE, DRAW_LINES
        int wait = 0;
        QVector<qint32> raw;   // every field, kept for commands that make no sense
    };

    static Command decode(const QByteArray& datagram);
    static QJsonObject toJson(const Command& command);
    // Whether the sender blocks for an answer.
    static bool wantsReply(const Command& command);

    static QString typeName(int type);
    // "DW", "GU", "GC" or the number itself.
    static QJsonValue waveformName(int waveform);
};
