#pragma once

#include <QStringList>
#include <QVariantList>

namespace support {

// Runs one statement, its values bound in order, on the SQLite file at path
// through a connection of its own that is closed again. Each row comes back
// as its columns joined by '|'; a failed statement as "error: " and why.
QStringList sqlRows(const QString& path, const QString& statement,
                    const QVariantList& values = {});

} // namespace support
