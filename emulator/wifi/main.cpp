// Stand-in for wpa_supplicant on the emulated device, whose Wi-Fi has no
// radio: speaks its control protocol on CTRLDIR/IFACE with a few access
// points in range. Takes wpa_supplicant's options, so the system manager
// starts it as it would start wpa_supplicant.
//
//   wifi-supplicant -i IFACE [-c CONF] [-C CTRLDIR] [-B] [-P PIDFILE] [--log FILE]
#include "calllog.h"
#include "controlsocket.h"
#include "supplicant.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

const char* const DefaultControlDirectory = "/var/run/wpa_supplicant";
char socketPath[256];

// Gone with its socket, as wpa_supplicant on TERM.
void terminate(int)
{
    if (socketPath[0])
        ::unlink(socketPath);
    _exit(0);
}

bool hasOption(int argc, char* argv[], const char* option)
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], option) == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    // -B: the starting command returns once the control socket answers. The
    // fork comes before Qt starts anything.
    int ready[2] = {-1, -1};
    if (hasOption(argc, argv, "-B")) {
        if (::pipe(ready) != 0)
            return 1;
        const pid_t child = ::fork();
        if (child < 0)
            return 1;
        if (child > 0) {
            ::close(ready[1]);
            char byte = 0;
            return ::read(ready[0], &byte, 1) == 1 ? 0 : 1;
        }
        ::close(ready[0]);
        ::setsid();
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("wifi-supplicant"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in for wpa_supplicant with a radio of its own."));
    parser.addHelpOption();
    const QCommandLineOption interfaceOption(QStringLiteral("i"), QStringLiteral("Interface."), QStringLiteral("iface"));
    const QCommandLineOption configOption(QStringLiteral("c"), QStringLiteral("Configuration file."), QStringLiteral("file"));
    const QCommandLineOption directoryOption(QStringLiteral("C"), QStringLiteral("Control directory."),
                                             QStringLiteral("dir"), QLatin1String(DefaultControlDirectory));
    const QCommandLineOption backgroundOption(QStringLiteral("B"), QStringLiteral("Run in the background."));
    const QCommandLineOption pidOption(QStringLiteral("P"), QStringLiteral("PID file."), QStringLiteral("file"));
    const QCommandLineOption driverOption(QStringLiteral("D"), QStringLiteral("Driver (ignored)."), QStringLiteral("driver"));
    const QCommandLineOption logOption(QStringLiteral("log"), QStringLiteral("Log requests and events to <file> (default: stderr)."),
                                       QStringLiteral("file"));
    parser.addOptions({interfaceOption, configOption, directoryOption, backgroundOption, pidOption,
                       driverOption, logOption});
    parser.process(app);
    if (!parser.isSet(interfaceOption))
        parser.showHelp(2);

    CallLog log(parser.value(logOption));
    const QString directory = parser.value(directoryOption);
    QDir().mkpath(directory);
    const QString path = directory + QLatin1Char('/') + parser.value(interfaceOption);
    ControlSocket socket;
    QString error;
    if (!socket.listen(path, &error)) {
        fprintf(stderr, "wifi-supplicant: %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    strncpy(socketPath, QFile::encodeName(path).constData(), sizeof socketPath - 1);
    signal(SIGTERM, terminate);
    signal(SIGINT, terminate);
    if (parser.isSet(pidOption)) {
        QFile pidFile(parser.value(pidOption));
        if (pidFile.open(QIODevice::WriteOnly))
            pidFile.write(QByteArray::number(qint64(::getpid())) + '\n');
    }
    Supplicant supplicant(parser.value(interfaceOption), parser.value(configOption), &socket, &log);
    QObject::connect(&socket, &ControlSocket::request, &supplicant,
                     [&](const QByteArray& command, QByteArray* reply) { *reply = supplicant.handle(command); });
    if (ready[1] >= 0) {
        const bool told = ::write(ready[1], "1", 1) == 1;
        ::close(ready[1]);
        if (!told)
            return 1;
    }
    fprintf(stderr, "ready\n");
    fflush(stderr);
    return app.exec();
}
