#pragma once

#include <QString>
#include <QtGlobal>

class QIODevice;

// The most that is read of a file or kept of a program's output for a
// window: an endless kernel file or a chatty program must not fill memory.
const qint64 OutputLimit = 1024 * 1024;

// Reads device to its end, or OutputLimit bytes of it, and shows its last
// 57 lines, without trailing line feeds, in a modal window titled title.
// A read that stopped at the limit, or a note, is said in a last line.
void showOutputWindow(QIODevice* device, const QString& title, const QString& note = QString());
