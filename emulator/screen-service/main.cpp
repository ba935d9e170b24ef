// screen-service: stand-in for the device's e-ink screen service.
//
//   screen-service [--port N] [--log FILE] [--ready-file FILE]
//
// Listens on UDP 127.0.0.1 (port 5678 by default), writes one JSON line per
// received command to FILE or stdout, and says "ready" on stderr (and creates
// the ready file) once it listens.

#include "screenservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("screen-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in for the e-ink screen service"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("UDP port to listen on."),
                                        QStringLiteral("N"), QString::number(ScreenService::DEFAULT_PORT));
    const QCommandLineOption logOption(QStringLiteral("log"), QStringLiteral("Write the command log to FILE."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption readyOption(QStringLiteral("ready-file"),
                                         QStringLiteral("Create FILE once listening."), QStringLiteral("FILE"));
    parser.addOptions({portOption, logOption, readyOption});
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        std::fprintf(stderr, "screen-service: bad port %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    QFile log;
    const bool opened = parser.isSet(logOption)
        ? (log.setFileName(parser.value(logOption)), log.open(QIODevice::WriteOnly | QIODevice::Append))
        : log.open(stdout, QIODevice::WriteOnly);
    if (!opened) {
        std::fprintf(stderr, "screen-service: cannot open log: %s\n", qPrintable(log.errorString()));
        return 2;
    }

    ScreenService service(&log);
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
