#pragma once

#include <QRect>

namespace vexa {
namespace screen {

// Qt 4 calls that have no plain Qt 5 counterpart, kept in one place.

// Whether the event queue holds events not yet processed
// (QCoreApplication::hasPendingEvents, deprecated in Qt 5 but still present).
bool hasPendingEvents();

// The geometry of the default screen, in logical (rotated) coordinates; what
// QApplication::desktop()->screenGeometry(-1) returned. Null without a screen.
QRect desktopGeometry();

} // namespace screen
} // namespace vexa
