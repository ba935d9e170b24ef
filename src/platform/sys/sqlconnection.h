#pragma once

class QSqlDatabase;
class QString;

namespace sys {

// A named SQLite connection of our own, registered with Qt's connection list.
QSqlDatabase* addSqliteConnection(const QString& name);
// Closes it and takes it off Qt's list, also after a failed open: a name left
// registered would be replaced under the next owner's live object.
void removeConnection(QSqlDatabase*& db);

} // namespace sys
