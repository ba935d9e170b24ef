#pragma once

#include "platform/sys/service.h"

class QSqlDatabase;

namespace sys {

// File-type-to-application bindings (table services, one row per file
// extension without the dot), read by the device's shell, and the
// descriptors of the device's built-in applications.
class ServiceConfig
{
public:
    // Binds the extension to the service (the row is replaced).
    static bool registerService(QSqlDatabase& db, const QString& extension,
                                const Service& service);
    // The application bound to the extension; false when none is.
    static bool queryService(QSqlDatabase& db, const QString& extension,
                             Service& service);

    static const Service& vexaReaderService();
    static const Service& writePadService();
    static const Service& officeViewerService();
};

} // namespace sys
