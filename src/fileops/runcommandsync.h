#pragma once

#include <QString>
#include <QStringList>

// Runs a command line (split as QProcess::splitCommand does), waits at most
// 30 seconds for its end and returns what it printed on standard output
// and standard error together. After the time-out the command is ended and
// what it printed until then is returned; one that can't be started gives
// an empty string.
QString runCommandSync(const QString& commandLine);
// The same for a program and its arguments already apart.
QString runCommandSync(const QStringList& arguments);

