#include "platform/screen/qtcompat.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace vexa {
namespace screen {

bool hasPendingEvents()
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return QCoreApplication::hasPendingEvents();
    QT_WARNING_POP
}

QRect desktopGeometry()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

} // namespace screen
} // namespace vexa
