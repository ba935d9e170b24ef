#ifndef LIRRO_FILEOPS_PANELREFRESH_H
#define LIRRO_FILEOPS_PANELREFRESH_H

// A closed dialog stays on the e-ink panel until what lies under it is
// painted again, and Qt 5 brings the windows below back from their backing
// store without painting them, so the refresh watcher never hears of it.
// Repaints the shown windows, which the watcher then sends to the panel.
void repaintAfterDialog();

#endif
