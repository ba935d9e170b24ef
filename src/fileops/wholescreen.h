#ifndef WHOLESCREEN_H
#define WHOLESCREEN_H

// Asks the screen service for one whole-screen update with its default
// waveform; used after keyboard prompts, after the viewer closes and by
// "Refresh screen", when partial updates may have left ghosting behind.
void updateWholeScreen();

#endif // WHOLESCREEN_H
