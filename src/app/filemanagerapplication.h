#pragma once

#include "app/application.h"

class MainWindow;

// The file manager's application object: picks up the share hand-off code
// from the command line and builds the main window.
class FileManagerApplication : public vexa::Application
{
public:
    FileManagerApplication();
    ~FileManagerApplication() override;

    void initialize(int& argc, char** argv) override;
    int start() override;

    MainWindow* mainWindow() const { return window; }
    int shareCode() const { return shareNumber; }

    // The double-click distance the window system reads at start; the
    // touch handling (tap selects, double tap activates) relies on it.
    static constexpr const char* DoubleClickDistanceVar = "QWS_DBLCLICK_DISTANCE";
    static constexpr const char* DoubleClickDistance = "30";
    // Last argument the launcher passes after mounting the share.
    static constexpr const char* ShareArgumentPrefix = "ZorUdu";
    static constexpr int ApplicationFontPointSize = 19;

protected:
    MainWindow* window = nullptr;
    int shareNumber = 0;
};

