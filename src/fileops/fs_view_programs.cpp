// The file list's members that start programs and show their output.
#include "browser/fs_view.h"

bool FS_VIEW::runProgram(const QString& commandLine)
{
    Q_UNUSED(commandLine);
    // Signature check and background start of the command line (running programs).
    return false;
}

void FS_VIEW::actionRun()
{
    // "Program command line" prompt, then runProgram (running programs).
}

void FS_VIEW::progFinished()
{
    // Show the output of ended processes and delete them (running programs).
}
