#pragma once

#include <QString>
#include <QtGlobal>

// The line a running tree operation shows in the window title:
// "dirs: %1, files: %2" and then the transfer rate (copy, move) or the item
// rate (delete, count), measured over the whole operation so far.
// elapsedMs is the time since the operation started (at least 1).
QString progressLine(int dirCount, int fileCount, bool transfer, qint64 bytes, qint64 elapsedMs);

