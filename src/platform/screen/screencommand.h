#pragma once

#include <cstddef>
#include <cstdint>

#include <QMetaType>

namespace vexa {
namespace screen {

// One request to the screen service: exactly 164 bytes, 41 signed 32-bit
// integers in host byte order, no header. The service reads only the fields
// that belong to the command type; the others carry whatever the previous
// command left in the shared record.
struct ScreenCommand
{
    enum Type : int32_t {
        WAIT_FOR_FINISHED = 0,
        SYNC = 1,
        UPDATE_SCREEN = 2,
        UPDATE_REGION = 3,
        DRAW_LINE = 4,
        DRAW_LINES = 5,
        FILL_SCREEN = 6,
    };

    // A bit set: SERVICE_WAIT is passed to the service, REPLY_WAIT makes the
    // client block until the service answers.
    enum WaitMode : int32_t {
        NO_WAIT = 0,
        SERVICE_WAIT = 1,
        REPLY_WAIT = 2,
    };

    struct Point
    {
        int32_t x;
        int32_t y;
    };

    static constexpr int MaxPoints = 15;

    int32_t type;
    int32_t waveform;
    int32_t partial;
    int32_t top;   // top comes before left on the wire
    int32_t left;
    int32_t width;
    int32_t height;
    Point points[MaxPoints];
    int32_t pointCount;
    int32_t color;
    int32_t size;
    int32_t wait;
};

constexpr ScreenCommand::WaitMode operator|(ScreenCommand::WaitMode a, ScreenCommand::WaitMode b)
{
    return ScreenCommand::WaitMode(int32_t(a) | int32_t(b));
}

static_assert(sizeof(ScreenCommand) == 164, "the screen service expects 164-byte commands");
static_assert(offsetof(ScreenCommand, type) == 0, "wire layout");
static_assert(offsetof(ScreenCommand, waveform) == 4, "wire layout");
static_assert(offsetof(ScreenCommand, partial) == 8, "wire layout");
static_assert(offsetof(ScreenCommand, top) == 12, "wire layout");
static_assert(offsetof(ScreenCommand, left) == 16, "wire layout");
static_assert(offsetof(ScreenCommand, width) == 20, "wire layout");
static_assert(offsetof(ScreenCommand, height) == 24, "wire layout");
static_assert(offsetof(ScreenCommand, points) == 28, "wire layout");
static_assert(offsetof(ScreenCommand, pointCount) == 148, "wire layout");
static_assert(offsetof(ScreenCommand, color) == 152, "wire layout");
static_assert(offsetof(ScreenCommand, size) == 156, "wire layout");
static_assert(offsetof(ScreenCommand, wait) == 160, "wire layout");

} // namespace screen
} // namespace vexa

Q_DECLARE_METATYPE(vexa::screen::ScreenCommand::WaitMode)
