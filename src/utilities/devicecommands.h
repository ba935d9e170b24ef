#pragma once

#include <QString>

class QWidget;

// Sends the window to the panel once its pending repaints are done.
void flushWindow(const QWidget* window);

// Reboots the device to apply a change: the owner's language goes back
// into the device's settings first (the main window keeps English there
// while it is open) and the window reaches the panel. When "reboot" fails the
// settings say English again and the owner is told; false then.
bool rebootDevice(QWidget* window, const QString& savedLang);
