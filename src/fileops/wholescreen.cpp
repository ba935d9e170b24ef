#include "fileops/wholescreen.h"

#include "platform/screen/screenproxy.h"

void updateWholeScreen()
{
    using vexa::screen::ScreenCommand;
    using vexa::screen::ScreenProxy;
    ScreenProxy::instance().updateScreen(ScreenProxy::NO_WAVEFORM, ScreenCommand::SERVICE_WAIT);
}
