// The file list's file commands and their dialogs.
#include "browser/fs_view.h"

void FS_VIEW::actionMkDir()
{
    // "Name for new directory" prompt and mkdir (file commands).
}

void FS_VIEW::actionCopy()
{
    // Arm a copy with the selected rows (file commands).
}

void FS_VIEW::actionCut()
{
    // Arm a move with the selected rows (file commands).
}

void FS_VIEW::actionPaste()
{
    // performOperation with the armed kind (file commands).
}

void FS_VIEW::actionDelete()
{
    // Confirmation, then performOperation(DeleteOperation) (file commands).
}

void FS_VIEW::actionInfo()
{
    // "Information on item" dialog with counted totals (file commands).
}

void FS_VIEW::actionCopyTo()
{
    // promptNewName(CopyOperation, "Copy") (file commands).
}

void FS_VIEW::actionRename()
{
    // promptNewName(MoveOperation, "Rename") (file commands).
}
