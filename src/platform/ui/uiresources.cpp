#include "platform/ui/uiresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerToolkitImages()
{
    Q_INIT_RESOURCE(vexa_ui_images);
}

namespace ui {

void initResources()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    registerToolkitImages();
}

} // namespace ui
