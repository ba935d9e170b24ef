// The file list's view and edit commands.
#include "browser/fs_view.h"

void FS_VIEW::actionEdit()
{
    // Hand the current file to the device's text editor (view and edit).
}

void FS_VIEW::actionView()
{
    // ZIP listing, text viewer or hex dump of the current file (view and edit).
}
