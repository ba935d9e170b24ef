#pragma once

#include <QString>

// Writes a shell script: "#!/bin/sh", an empty line, body and a line feed,
// in the local 8-bit encoding, readable and runnable by everyone and
// writable by its owner only. The script is written under a fresh name in
// the same directory and renamed onto path, so a link planted at path is
// replaced rather than followed, and path never holds half a script nor one
// that another user could change before it runs. False when it could not
// be written; path is then left as it was.
bool writeScript(const QString& path, const QString& body);
