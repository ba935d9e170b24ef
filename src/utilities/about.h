#pragma once

#include <QString>

class QWidget;

namespace utilities {

// "About": the device's and the system's facts in the output window.
void showAbout(QWidget* window);

// The text shown: the device, its identity and firmware, Qt, the battery,
// memory, the disks' usage and, while connected, the Wi-Fi interface.
QString aboutText();

} // namespace utilities
