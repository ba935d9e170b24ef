#include "platform/sys/displayrotation.h"

#include <QByteArray>

namespace sys {

namespace {

const char* const DisplayVariable = "QWS_DISPLAY";
const char RotationTag[] = ":Rot";

int normalized(int degrees)
{
    switch (degrees) {
    case 0:
    case 90:
    case 180:
    case 270:
        return degrees;
    default:
        return 0;
    }
}

int& current()
{
    static int value = DisplayRotation::parse(qgetenv(DisplayVariable).constData());
    return value;
}

} // namespace

int DisplayRotation::parse(const char* qwsDisplay)
{
    // Read at start-up, before the first screen: a plain scan, no regular
    // expression engine to load for it.
    const QByteArray value(qwsDisplay);
    for (int at = value.indexOf(RotationTag); at >= 0; at = value.indexOf(RotationTag, at + 1)) {
        const int digits = at + int(sizeof RotationTag) - 1;
        int end = digits;
        while (end < value.size() && value.at(end) >= '0' && value.at(end) <= '9')
            ++end;
        if (end > digits) {
            bool ok = false;
            const int degrees = value.mid(digits, end - digits).toInt(&ok);
            return ok ? normalized(degrees) : 0;
        }
    }
    return 0;
}

int DisplayRotation::degrees()
{
    return current();
}

void DisplayRotation::setDegrees(int degrees)
{
    current() = normalized(degrees);
}

} // namespace sys
