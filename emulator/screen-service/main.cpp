// screen-service: stand-in for the device's e-ink screen service.
//
//   screen-service [--port N] [--log FILE] [--ready-file FILE]
//                  [--fbdir DIR] [--rotation N] [--panel-size WxH]
//                  [--panel-png FILE] [--panel-raw FILE] [--stats FILE]
//
// Listens on UDP 127.0.0.1 (port 5678 by default), writes one JSON line per
// received command to FILE or stdout, applies each command to the emulated
// panel, and says "ready" on stderr (and creates the ready file) once it
// listens.

#include "panelemulator.h"
#include "screenservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>

namespace {

const char* const Description =
    "Stand-in for the e-ink screen service.\n"
    "\n"
    "Every command datagram is logged as one JSON line and applied to the\n"
    "emulated panel: UPDATE_SCREEN and UPDATE_REGION copy the framebuffer that\n"
    "Xvfb exports (-fbdir DIR) into the panel; DRAW_LINE(S) draw into that\n"
    "framebuffer, which Xvfb shares with the program's X screen, so a line\n"
    "reaches the panel with the next update and the program's next repaint\n"
    "there erases it; FILL_SCREEN fills the panel. Points are panel pixels,\n"
    "mapped onto the turned screen by --rotation. A record with a value out of\n"
    "range is logged, not applied. Before each command the X server named by\n"
    "DISPLAY is asked to finish what its clients sent before it, as the\n"
    "device's program has drawn before it asks. Commands with the reply-wait\n"
    "bit are answered after they are applied.\n"
    "\n"
    "Figures: a datagram holding exactly the ASCII text \"STATS?\", sent to the\n"
    "same port, is answered with one JSON object: commands (total, by_type,\n"
    "by_waveform), flashes (GC commands), pixels_updated (panel pixels changed,\n"
    "total and in \"last\"), outline_drawn_pixels (set by the last line\n"
    "command), outline_pixels (of those, shown on the panel in the line's\n"
    "grey), earlier_outline_pixels (what the panel still shows of the line\n"
    "command before), stale_pixels (framebuffer pixels, in the panel's 16\n"
    "greys, that the panel does not show), framebuffer_unchanged_ms and ms\n"
    "(the service's clock). --stats keeps the same object in a file.";

const char* const DisplayVariable = "QWS_DISPLAY";

// The :Rot<N> part of the device's display setting; 0 without one.
int rotationOf(const QByteArray& display)
{
    static const QRegularExpression rot(QStringLiteral(":Rot(0|90|180|270)(?![0-9])"));
    const QRegularExpressionMatch m = rot.match(QString::fromLocal8Bit(display));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

bool parseSize(const QString& text, QSize* size)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    *size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
    return size->width() > 0 && size->height() > 0 && size->width() <= 16384 && size->height() <= 16384;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("screen-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("UDP port to listen on."),
                                        QStringLiteral("N"), QString::number(ScreenService::DefaultPort));
    const QCommandLineOption logOption(QStringLiteral("log"), QStringLiteral("Write the command log to FILE."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption readyOption(QStringLiteral("ready-file"),
                                         QStringLiteral("Create FILE once listening."), QStringLiteral("FILE"));
    const QCommandLineOption fbdirOption(
        QStringLiteral("fbdir"), QStringLiteral("Xvfb's -fbdir: read the framebuffer from DIR/Xvfb_screen0."),
        QStringLiteral("DIR"));
    const QCommandLineOption rotationOption(
        QStringLiteral("rotation"),
        QStringLiteral("Degrees (0, 90, 180, 270) the program's screen is turned on the panel; "
                       "default: the :Rot<N> part of QWS_DISPLAY, else 0."),
        QStringLiteral("N"));
    const QCommandLineOption sizeOption(QStringLiteral("panel-size"),
                                        QStringLiteral("The panel's physical size (default 600x800)."),
                                        QStringLiteral("WxH"), QStringLiteral("600x800"));
    const QCommandLineOption pngOption(QStringLiteral("panel-png"),
                                       QStringLiteral("Keep the panel picture in FILE (PNG, at most 5 writes/s)."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption rawOption(
        QStringLiteral("panel-raw"),
        QStringLiteral("Keep the panel's raw 8-bit grey bytes (W*H, physical orientation) in FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption statsOption(QStringLiteral("stats"),
                                         QStringLiteral("Keep the panel's figures (JSON, as for STATS?) in FILE."),
                                         QStringLiteral("FILE"));
    parser.addOptions({portOption, logOption, readyOption, fbdirOption, rotationOption, sizeOption, pngOption,
                       rawOption, statsOption});
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        std::fprintf(stderr, "screen-service: bad port %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    PanelEmulator::Options options;
    if (!parseSize(parser.value(sizeOption), &options.panelSize)) {
        std::fprintf(stderr, "screen-service: bad panel size %s (WxH)\n", qPrintable(parser.value(sizeOption)));
        return 2;
    }
    options.rotation = rotationOf(qgetenv(DisplayVariable));
    if (parser.isSet(rotationOption)) {
        const int degrees = parser.value(rotationOption).toInt(&ok);
        if (!ok || (degrees != 0 && degrees != 90 && degrees != 180 && degrees != 270)) {
            std::fprintf(stderr, "screen-service: bad rotation %s (0, 90, 180 or 270)\n",
                         qPrintable(parser.value(rotationOption)));
            return 2;
        }
        options.rotation = degrees;
    }
    options.fbdir = parser.value(fbdirOption);
    // The X server of that framebuffer, to wait for its clients' drawing.
    options.display = qgetenv("DISPLAY");
    options.pngPath = parser.value(pngOption);
    options.rawPath = parser.value(rawOption);
    options.statsPath = parser.value(statsOption);

    QFile log;
    const bool opened = parser.isSet(logOption)
        ? (log.setFileName(parser.value(logOption)), log.open(QIODevice::WriteOnly | QIODevice::Append))
        : log.open(stdout, QIODevice::WriteOnly);
    if (!opened) {
        std::fprintf(stderr, "screen-service: cannot open log: %s\n", qPrintable(log.errorString()));
        return 2;
    }

    PanelEmulator panel(options);
    ScreenService service(&log, &panel);
    QString error;
    if (!service.listen(quint16(port), &error)) {
        std::fprintf(stderr, "screen-service: cannot listen on 127.0.0.1:%u: %s\n", port, qPrintable(error));
        return 1;
    }

    if (parser.isSet(readyOption)) {
        QSaveFile ready(parser.value(readyOption));
        if (!ready.open(QIODevice::WriteOnly) || ready.write("ready\n") < 0 || !ready.commit()) {
            std::fprintf(stderr, "screen-service: cannot write ready file\n");
            return 2;
        }
    }
    std::fprintf(stderr, "ready\n");
    std::fflush(stderr);
    return app.exec();
}
