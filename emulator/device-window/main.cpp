// device-window: the emulated device on the user's display.
//
//   device-window --panel-raw FILE [--panel-size WxH] [--state FILE] [--input FIFO]
//
// Shows the raw panel picture the screen service writes (8-bit grey, W*H
// bytes), a status line from the system manager's state file, and sends the
// user's keys and touches, one command line each, into the forwarder's FIFO.
#include "devicewindow.h"
#include "panelview.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QScreen>

#include <csignal>
#include <cstdio>

namespace {
const char* const DefaultPanelSize = "600x800";
}

int main(int argc, char* argv[])
{
    // A forwarder that goes away must not take the window with it.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("device-window"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The emulated e-ink device's window"));
    parser.addHelpOption();
    const QCommandLineOption rawOption(QStringLiteral("panel-raw"),
                                       QStringLiteral("Raw panel picture written by the screen service."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption sizeOption(QStringLiteral("panel-size"), QStringLiteral("Panel size."),
                                        QStringLiteral("WxH"), QString::fromLatin1(DefaultPanelSize));
    const QCommandLineOption stateOption(QStringLiteral("state"),
                                         QStringLiteral("System manager state file (JSON)."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption inputOption(QStringLiteral("input"),
                                         QStringLiteral("FIFO of the forwarder inside the device."),
                                         QStringLiteral("FIFO"));
    parser.addOptions({rawOption, sizeOption, stateOption, inputOption});
    parser.process(app);

    if (!parser.isSet(rawOption)) {
        std::fprintf(stderr, "device-window: --panel-raw FILE is required\n");
        return 2;
    }
    const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("^([1-9][0-9]{0,4})x([1-9][0-9]{0,4})$"))
                                             .match(parser.value(sizeOption));
    if (!size.hasMatch()) {
        std::fprintf(stderr, "device-window: bad panel size %s\n", qPrintable(parser.value(sizeOption)));
        return 2;
    }

    DeviceWindow::Paths paths;
    paths.panelRaw = parser.value(rawOption);
    paths.state = parser.value(stateOption);
    paths.input = parser.value(inputOption);
    DeviceWindow window(paths, QSize(size.captured(1).toInt(), size.captured(2).toInt()));
    // The panel pixel for pixel when the screen has room for it (a first
    // window is otherwise kept to two thirds of the screen), else scaled down.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.resize(window.sizeHint().boundedTo(screen->availableGeometry().size()));
    window.show();
    window.panelView()->setFocus();
    return app.exec();
}
