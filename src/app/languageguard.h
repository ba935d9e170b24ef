#pragma once

#include <QString>

// The device's language while the program runs: switched to US English at
// start and put back on every way out that can be caught, signals included.
// Where none could be (a kill, a power cut), the language the owner had is
// still saved, and the next start puts it back first.
class LanguageGuard
{
public:
    // Switches to US English and returns the owner's language: lang (LANG as
    // the program found it), or what a run that did not end cleanly saved.
    static QString start(const QString& lang);
    // The owner's language is back: nothing is left to restore.
    static void finish();
};
