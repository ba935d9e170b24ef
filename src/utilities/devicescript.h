#pragma once

#include <QString>

class QWidget;

// Writes a shell script ("#!/bin/sh", a blank line, body, a line feed) to
// path, in the local 8-bit encoding, executable by everyone. Whatever was at
// path (a link too) is replaced, never written through, and a script is
// never left half written. False when it could not be written.
bool writeScript(const QString& path, const QString& body);

// value as one shell word that no character of it can end or extend: in
// single quotes, each single quote written as '\''.
QString shellQuoted(const QString& value);

// Sends the window to the panel once its pending repaints are done.
void flushWindow(const QWidget* window);

// Reboots the device to apply a change: the owner's language goes back
// into the device's settings first (the main window keeps English there
// while it is open) and the window reaches the panel. When "reboot" fails the
// settings say English again and the owner is told; false then.
bool rebootDevice(QWidget* window, const QString& savedLang);
