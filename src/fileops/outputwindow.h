#ifndef LIRRO_FILEOPS_OUTPUTWINDOW_H
#define LIRRO_FILEOPS_OUTPUTWINDOW_H

#include <QString>

class QIODevice;

// Reads device to its end and shows its last 57 lines, without trailing
// line feeds, in a modal window titled title.
void showOutputWindow(QIODevice* device, const QString& title);

#endif
