#include "platform/cms/contentmanager.h"

#include "platform/logging.h"
#include "platform/sys/sqlconnection.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace cms {

namespace {

const char ConnectionName[] = "cms";
const char DatabaseFile[] = "content.db";
const char DateFormat[] = "yyyy-MM-dd hh:mm:ss";

// The schema the device's readers share, to the letter.
const char* const Schema[] = {
    "create table if not exists content (id integer primary key, name text,location text,"
    "title text,authors text,description text, last_access text, publisher text, md5 text, "
    "size integer, rating integer, read_time integer, read_count integer, progress text, "
    "attributes blob )",
    "create index if not exists name_index on content (name) ",
    "create table if not exists category (id integer primary key, criteria text, tag text, "
    "title text)",
    "create table if not exists content_category (id integer primary key, content_id integer , "
    "category_id integer  )",
    "create table if not exists category_category (id integer primary key, "
    "child_category_id integer,parent_category_id integer)",
    "create table if not exists content_options (id integer primary key, options blob)",
    "create table if not exists content_bookmarks (id integer primary key, bookmarks blob)",
    "create table if not exists content_shortcuts (id integer primary key, src text, "
    "target text)",
    "create table if not exists notes (id integer primary key, name text, thumbnail blob)",
};

const char SelectCategory[] = "select id from category where id = ?";
const char InsertCategory[] = "INSERT OR REPLACE into category (id, title, criteria)values(?, ?, ?)";
const char LinkCategory[] =
    "insert into category_category (child_category_id, parent_category_id) values(?, ?)";
const char SelectMembers[] = "select content_id from content_category where category_id = ? ";
const char SelectNode[] =
    "select name, location, title, authors, description, last_access, publisher, md5, rating, "
    "read_time, read_count, progress, attributes from content where id = :id";
const char* const RemoveNode[] = {
    "delete from content_options where id = ?",
    "delete from content_category where content_id = ?",
    "delete from content where id = ?",
};

const char* const CategoryTitles[] = { "root", "Library", "Server", "Recent documents",
                                       "Reading list" };

} // namespace

QString getDatabasePath()
{
    return QDir::home().filePath(QLatin1String(DatabaseFile));
}

QString dateFormat()
{
    return QLatin1String(DateFormat);
}

ContentManager::ContentManager() = default;

ContentManager::~ContentManager()
{
    close();
}

bool ContentManager::open(const QString& path)
{
    if (!db)
        db = sys::addSqliteConnection(QLatin1String(ConnectionName));
    if (db->isOpen())
        return true;
    db->setDatabaseName(path.isEmpty() ? getDatabasePath() : path);
    if (!db->open()) {
        error = db->lastError().text();
        qCDebug(lcCms) << "cannot open" << db->databaseName() << ":" << error;
        return false;
    }
    // SQLite opens any file lazily: a damaged one or one another writer holds
    // only shows here, and nothing may be read from it then.
    if (!createSchema()) {
        db->close();
        return false;
    }
    return true;
}

void ContentManager::close()
{
    sys::removeConnection(db);
}

bool ContentManager::exec(const char* statement, const QVariantList& values, bool* hasRow)
{
    QSqlQuery query(*db);
    if (query.prepare(QLatin1String(statement))) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (query.exec()) {
            if (hasRow)
                *hasRow = query.next();
            return true;
        }
    }
    error = query.lastError().text();
    qCDebug(lcCms) << statement << "failed:" << error;
    return false;
}

bool ContentManager::createSchema()
{
    for (const char* statement : Schema) {
        if (!exec(statement))
            return false;
    }
    for (int id = Root; id <= ReadingList; ++id) {
        bool exists = false;
        if (!exec(SelectCategory, { id }, &exists))
            return false;
        if (exists)
            continue;
        if (!exec(InsertCategory, { id, QLatin1String(CategoryTitles[id]), QStringLiteral("") }))
            return false;
        if (id != Root && !exec(LinkCategory, { id, int(Root) }))
            return false;
    }
    return true;
}

bool ContentManager::recentDocuments(QVector<qint64>& ids)
{
    ids.clear();
    if (!db || !db->isOpen())
        return false;
    QSqlQuery query(*db);
    query.prepare(QLatin1String(SelectMembers));
    query.addBindValue(int(RecentDocuments));
    if (!query.exec()) {
        error = query.lastError().text();
        return false;
    }
    QVector<ContentNode> nodes;
    while (query.next()) {
        ContentNode node;
        getContentNode(query.value(0).toLongLong(), node);
        nodes.append(node);
    }
    std::stable_sort(nodes.begin(), nodes.end(), [](const ContentNode& a, const ContentNode& b) {
        return a.lastAccess > b.lastAccess;
    });
    for (const ContentNode& node : qAsConst(nodes))
        ids.append(node.id);
    return true;
}

bool ContentManager::getContentNode(qint64 id, ContentNode& node)
{
    if (!db || !db->isOpen())
        return false;
    QSqlQuery query(*db);
    query.prepare(QLatin1String(SelectNode));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec() || !query.next())
        return false;
    node.id = id;
    node.name = query.value(0).toString();
    node.location = query.value(1).toString();
    node.title = query.value(2).toString();
    node.authors = query.value(3).toString();
    node.description = query.value(4).toString();
    node.lastAccess = query.value(5).toString();
    node.publisher = query.value(6).toString();
    node.md5 = query.value(7).toString();
    node.rating = query.value(8).toInt();
    node.readTime = query.value(9).toInt();
    node.readCount = query.value(10).toInt();
    node.progress = query.value(11).toString();
    node.attributes = query.value(12).toByteArray();
    return true;
}

bool ContentManager::removeContentNode(ContentNode& node)
{
    if (!db || !db->isOpen())
        return false;
    // A document half removed (gone from the lists but its record kept, or
    // the other way round) would confuse the readers: all three or none.
    if (!db->transaction()) {
        error = db->lastError().text();
        return false;
    }
    for (const char* statement : RemoveNode) {
        if (!exec(statement, { node.id })) {
            db->rollback();
            return false;
        }
    }
    if (!db->commit()) {
        error = db->lastError().text();
        db->rollback();
        return false;
    }
    node.clear();
    return true;
}

} // namespace cms
