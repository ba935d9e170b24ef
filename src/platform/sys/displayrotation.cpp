#include "platform/sys/displayrotation.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

namespace sys {

namespace {

const char* const DisplayVariable = "QWS_DISPLAY";

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
    static const QRegularExpression rot(QStringLiteral(":Rot(\\d+)"));
    const QRegularExpressionMatch m = rot.match(QString::fromLocal8Bit(qwsDisplay));
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const int value = m.captured(1).toInt(&ok);
    return ok ? normalized(value) : 0;
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
