#pragma once

#include "platform/cms/contentnode.h"

#include <QString>
#include <QVariant>
#include <QVector>

class QSqlDatabase;

namespace cms {

// "content.db" in the home directory: where the device keeps it unless told.
QString getDatabasePath();
// How the database writes times: "yyyy-MM-dd hh:mm:ss".
QString dateFormat();

// The device's content database: every document its readers opened, with
// categories, one of them the shell's "Recent documents". Other applications
// use the same file at the same time; SQLite's locking is all they share.
// Only one manager may be open at a time (the connection name is fixed).
class ContentManager
{
public:
    // The standard categories' fixed ids.
    enum Category { Root = 0, Library = 1, Server = 2, RecentDocuments = 3, ReadingList = 4 };

    ContentManager();
    ~ContentManager();

    // Opens path (getDatabasePath() when empty) and creates what is missing
    // of the schema and the standard categories. False, with lastError(),
    // when the file can't be opened or isn't a usable database.
    bool open(const QString& path = QString());
    void close();

    // The members of "Recent documents", the most recently read first; a
    // member without a content row comes last, as -1.
    bool recentDocuments(QVector<qint64>& ids);
    // False, leaving node as it was, when there is no such record.
    bool getContentNode(qint64 id, ContentNode& node);
    // Deletes the document's options, its category memberships and its
    // record, all or nothing; the node is cleared when they are gone.
    bool removeContentNode(ContentNode& node);

    QString lastError() const { return error; }

private:
    Q_DISABLE_COPY(ContentManager)

    bool exec(const char* statement, const QVariantList& values = {}, bool* hasRow = nullptr);
    bool createSchema();

    QSqlDatabase* db = nullptr;
    QString error;
};

} // namespace cms
