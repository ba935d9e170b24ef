// The file list's tree operation engine: count, copy, move and delete
// the clipboard's items with progress, overwrite prompts and one failure
// message.
#include "browser/fs_view.h"

