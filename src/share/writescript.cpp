#include "share/writescript.h"

#include <QFile>
#include <QTemporaryFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char Header[] = "#!/bin/sh\n\n";
const mode_t ScriptMode = 0755;

} // namespace

bool writeScript(const QString& path, const QString& body)
{
    // Created with O_EXCL and mode 0600 under a name nobody can guess.
    QTemporaryFile file(path + QLatin1String(".XXXXXX"));
    if (!file.open())
        return false;
    const QByteArray bytes = (QLatin1String(Header) + body + QLatin1Char('\n')).toLocal8Bit();
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0
        || ::fchmod(file.handle(), ScriptMode) != 0)
        return false;
    file.close();
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(path).constData())
        != 0)
        return false;
    file.setAutoRemove(false);
    return true;
}
