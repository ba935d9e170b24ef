#pragma once

// A closed dialog stays on the e-ink panel until what lies under it is
// painted again, and Qt 5 brings the windows below back from their backing
// store without painting them, so the refresh watcher never hears of it.
// Repaints the shown windows, which the watcher then sends to the panel.
void repaintAfterDialog();

// Asks the screen service for one whole-screen update with its default
// waveform; used after keyboard prompts, after the viewer closes and by
// "Refresh screen", when partial updates may have left ghosting behind.
void updateWholeScreen();
