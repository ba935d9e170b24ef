#pragma once

#include <QString>

class QWidget;

namespace utilities {

// "Move user fonts/dicts to system area": the owner's font or dictionary
// directories on the flash and the SD card go into the system area, and the
// device reboots to take them up.
void moveFonts(QWidget* window, const QString& savedLang);
void moveDicts(QWidget* window, const QString& savedLang);

// Moves everything in source1 and source2 into destination, removes the two
// directories and reboots, once the owner agreed. A directory is removed only
// after all of it is copied and on the medium; when one is not, the owner is
// told and nothing reboots.
void moveDirs(QWidget* window, const QString& savedLang, const QString& source1,
              const QString& source2, const QString& destination);

// Why the sources can't be moved into destination; empty when they can.
QString moveDirsError(const QString& source1, const QString& source2,
                      const QString& destination);
} // namespace utilities
