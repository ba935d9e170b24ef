#include "share/sharescripts.h"

#include "share/cifssettings.h"
#include "share/shellformat.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

namespace {

const char FormatPath[] = "/root/lirro/cifs.cmdfmt";
const char DefaultFormat[] = "mount.cifs //%2/%3 /mnt/ZorUdu/%3 -o "
                             "%1%4nostrictsync,noserverino,iocharset=utf8,user=%5,pass=%6";
// The format is one line of at most 255 bytes.
const qint64 FormatLineBuffer = 256;

const char ScriptStart[] = "mkdir /mnt/ZorUdu\nchmod 0777 /mnt/ZorUdu\n\n";
const char MakeShareDir[] = "mkdir /mnt/ZorUdu/%1\n";
const char IfMountFailed[] = "\nif [ \"$?\" -ne 0 ]\nthen\n";
// Only the empty directory a failed mount leaves: a directory still holding
// an earlier mount of the share would take the share's files with it.
const char RemoveShareDir[] = "  rmdir /mnt/ZorUdu/%1\nfi\n\n";
const char ScriptEnd[] = "chmod 0555 /mnt/ZorUdu\n";

const char ShareToDevice[] =
    "rsync -auh8 --stats --modify-window=3 \"/mnt/ZorUdu/%1/\" \"/media/flash/%2/\"\n";
const char DeviceToShare[] =
    "rsync -auh8 --stats --modify-window=3 \"/media/flash/%2/\" \"/mnt/ZorUdu/%1/\"\n";

const char DomainOption[] = "domain=%1,";
const char GuestOption[] = "guest,";

} // namespace

QStringList shareNames(const QString& dirList)
{
    QStringList names;
    for (const QString& name : dirList.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (name == QLatin1String(".") || name == QLatin1String("..")
            || name.contains(QLatin1Char('/'))) {
            qWarning("Share name %s left out: not a directory name", qPrintable(name));
            continue;
        }
        names << name;
    }
    return names;
}

QString mountCommandFormat()
{
    const QString path = QLatin1String(FormatPath);
    if (QFile::exists(path)) {
        QFile file(path);
        const QByteArray line = file.open(QIODevice::ReadOnly) ? file.readLine(FormatLineBuffer)
                                                                : QByteArray();
        if (!line.isEmpty())
            return QString::fromLocal8Bit(line);
    } else {
        CIFSSettings::settingsPath();
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(DefaultFormat) < 0 || !file.commit())
            qWarning("Can not write %s", FormatPath);
    }
    return QLatin1String(DefaultFormat);
}

QString mountScriptBody(const CIFSSettings& settings, const QString& format)
{
    const QString domain = settings.domain().isEmpty()
        ? QString()
        : QString::fromLatin1(DomainOption).arg(settings.domain());
    const QString guest = settings.anonimous() ? QLatin1String(GuestOption) : QString();
    QString body = QLatin1String(ScriptStart);
    for (const QString& name : shareNames(settings.dirList())) {
        body += shellFormat(QLatin1String(MakeShareDir), { name });
        body += shellFormat(format, { domain, settings.server(), name, guest, settings.login(),
                                      settings.password() });
        body += QLatin1String(IfMountFailed);
        body += shellFormat(QLatin1String(RemoveShareDir), { name });
    }
    return body + QLatin1String(ScriptEnd);
}

QStringList shareMounts(const QString& mountTable)
{
    // "SOURCE on POINT type TYPE (OPTIONS)": the point may hold blanks.
    const QString root = QLatin1String(ShareMountRoot);
    const QString on = QLatin1String(" on ") + root;
    QStringList points;
    for (const QString& line : mountTable.split(QLatin1Char('\n'))) {
        const int start = line.indexOf(on);
        const int end = line.lastIndexOf(QLatin1String(" type "));
        if (start < 0 || end < start)
            continue;
        const QString point = line.mid(start + 4, end - start - 4);
        if (point == root || point.startsWith(root + QLatin1Char('/')))
            points << point;
    }
    return points;
}

bool syncScriptBody(const CIFSSettings& settings, QString* body, QString* error)
{
    const QStringList server = settings.serverSync().split(QLatin1Char(':'));
    const QStringList client = settings.clientSync().split(QLatin1Char(':'));
    body->clear();
    if (settings.serverSync().isEmpty()) {
        *error = QCoreApplication::translate("MainWindow", "Sync dirs are not defined");
        return false;
    }
    if (server.size() != client.size()) {
        *error = QCoreApplication::translate("MainWindow",
                                            "Number of server dirs is not equal to number of "
                                            "client dirs.\nServer dirs: %1\nClient dirs: %2")
                     .arg(server.size())
                     .arg(client.size());
        return false;
    }
    for (int i = 0; i < server.size(); ++i) {
        if (server.at(i).isEmpty())
            continue;
        *body += shellFormat(QLatin1String(ShareToDevice), { server.at(i), client.at(i) });
        *body += shellFormat(QLatin1String(DeviceToShare), { server.at(i), client.at(i) });
    }
    return true;
}
