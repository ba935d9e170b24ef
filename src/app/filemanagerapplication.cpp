#include "app/filemanagerapplication.h"

#include "app/applicationstyle.h"
#include "app/mainwindow.h"
#include "platform/ui/uiresources.h"

#include <QApplication>
#include <QFont>
#include <QScreen>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Reads the hand-off code the way atoi does (optional blanks and sign, then
// leading digits; 0 without any), but a value that does not fit an int is
// no code at all rather than undefined behaviour.
int parseShareCode(const char* text)
{
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return 0;
    return static_cast<int>(value);
}

} // namespace

FileManagerApplication::FileManagerApplication() = default;

FileManagerApplication::~FileManagerApplication()
{
    delete window;
}

void FileManagerApplication::initialize(int& argc, char** argv)
{
    // The last argument, or the program path when there is none.
    const size_t prefixLength = std::strlen(ShareArgumentPrefix);
    if (argc > 0 && argv && argv[argc - 1]
        && std::strncmp(argv[argc - 1], ShareArgumentPrefix, prefixLength) == 0)
        shareNumber = parseShareCode(argv[argc - 1] + prefixLength);

    // Before the Qt application exists, so the window system picks it up.
    qputenv(DoubleClickDistanceVar, DoubleClickDistance);
}

int FileManagerApplication::start()
{
    QApplication::setStyle(new ApplicationStyle);

    // The style sheet names the toolkit's images, so before any window.
    ui::initResources();

    QFont font = QApplication::font();
    font.setPointSize(ApplicationFontPointSize);
    QApplication::setFont(font);

    // An e-ink panel cannot blink: a blinking text cursor would only repaint
    // the frame buffer twice a second and leave the panel in either phase.
    QApplication::setCursorFlashTime(0);

    window = new MainWindow();
    // The device's window system always honours maximizing; an X server
    // without a window manager (the emulated device) does not, so start at
    // the full screen size either way.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->setGeometry(screen->availableGeometry());
    window->showMaximized();
    window->checkZorUduMount(shareNumber);
    return 0;
}
