// Command-line client of the system manager stand-in's control interface:
//   system-manager-ctl emit SIGNAL [ARG]...
//   system-manager-ctl mode METHOD normal|empty|partial|error|silent
//   system-manager-ctl state
#include "systemmanager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>

#include <cstdio>

namespace {

int usage()
{
    fprintf(stderr,
            "usage: system-manager-ctl emit SIGNAL [ARG]...\n"
            "       system-manager-ctl mode METHOD normal|empty|partial|error|silent\n"
            "       system-manager-ctl state\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();

    QDBusMessage message;
    auto control = [](const char* method) {
        return QDBusMessage::createMethodCall(QLatin1String(SystemManager::Service), QLatin1String(SystemManager::Object),
                                              QLatin1String(SystemManager::ControlInterface),
                                              QLatin1String(method));
    };
    if (command == QLatin1String("emit") && !args.isEmpty()) {
        message = control("emitSignal");
        const QString name = args.takeFirst();
        message << name << args;
    } else if (command == QLatin1String("mode") && args.size() == 2) {
        message = control("setMode");
        message << args.at(0) << args.at(1);
    } else if (command == QLatin1String("state") && args.isEmpty()) {
        message = control("state");
    } else {
        return usage();
    }

    const QDBusMessage reply = QDBusConnection::systemBus().call(message);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        fprintf(stderr, "system-manager-ctl: %s\n", qPrintable(reply.errorMessage()));
        return 1;
    }
    if (command == QLatin1String("state"))
        printf("%s\n", qPrintable(reply.arguments().value(0).toString()));
    return 0;
}
