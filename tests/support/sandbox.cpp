#include "support/sandbox.h"

#include <QProcess>

bool support::insideSandbox()
{
    return QProcess::execute(QStringLiteral(LIRRO_SOURCE_DIR "/scripts/sandbox"),
                             { QStringLiteral("--inside") })
           == 0;
}
