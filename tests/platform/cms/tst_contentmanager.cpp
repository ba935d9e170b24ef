// The device's content database on a real SQLite file: the schema and the
// standard categories, the recent documents' order, reading and removing a
// record, and files it must not change.

#include "platform/cms/contentmanager.h"
#include "support/files.h"
#include "support/sandbox.h"
#include "support/sql.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

const QString Db = QStringLiteral("/tmp/cms/content.db");

QStringList sql(const QString& statement, const QVariantList& values = {})
{
    return support::sqlRows(Db, statement, values);
}

// Documents 1 to 3, listed in "Recent documents" with a member (99) that
// has no record, and document 1 also on the reading list, with options.
void addDocuments()
{
    const char* const times[] = { "2012-11-01 10:00:00", "2012-11-23 09:00:00",
                                  "2012-10-05 08:00:00" };
    for (int id = 1; id <= 3; ++id)
        sql("insert into content (id, name, location, last_access) values (?, ?, ?, ?)",
            { id, QStringLiteral("b%1.txt").arg(id), "/media/flash", times[id - 1] });
    for (int id : { 1, 2, 99, 3 })
        sql("insert into content_category (content_id, category_id) values (?, 3)", { id });
    sql("insert into content_category (content_id, category_id) values (1, 4)");
    sql("insert into content_options (id, options) values (1, x'00ff')");
}

} // namespace

class TestContentManager : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        REQUIRE_SANDBOX();
        QVERIFY(support::freshDir(QStringLiteral("/tmp/cms")));
    }

    void schemaAndCategories()
    {
        for (int round = 0; round < 2; ++round) {
            cms::ContentManager manager;
            QVERIFY(manager.open(Db));
        }
        QCOMPARE(sql("select type, name from sqlite_master order by name"),
                 QStringList({ "table|category", "table|category_category", "table|content",
                               "table|content_bookmarks", "table|content_category",
                               "table|content_options", "table|content_shortcuts",
                               "index|name_index", "table|notes" }));
        QCOMPARE(sql("select id, title from category order by id"),
                 QStringList({ "0|root", "1|Library", "2|Server", "3|Recent documents",
                               "4|Reading list" }));
        QCOMPARE(sql("select child_category_id, parent_category_id from category_category"),
                 QStringList({ "1|0", "2|0", "3|0", "4|0" }));
    }

    void recentDocumentsAndRecords()
    {
        cms::ContentManager manager;
        QVERIFY(manager.open(Db));
        addDocuments();
        QVector<qint64> ids;
        QVERIFY(manager.recentDocuments(ids));
        QCOMPARE(ids, QVector<qint64>({ 2, 1, 3, -1 }));
        cms::ContentNode node;
        node.name = QStringLiteral("kept");
        QVERIFY(!manager.getContentNode(-1, node));
        QCOMPARE(node.name, QStringLiteral("kept"));
        QVERIFY(manager.getContentNode(2, node));
        QCOMPARE(node.absolutePath(), QStringLiteral("/media/flash/b2.txt"));
        QCOMPARE(node.lastAccess, QStringLiteral("2012-11-23 09:00:00"));

        // Another application writing holds the database: nothing of the
        // document goes, and the manager says so.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        other.setDatabaseName(Db);
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec("begin immediate"));
        QVERIFY(manager.getContentNode(1, node));
        QVERIFY(!manager.removeContentNode(node));
        QVERIFY(!manager.lastError().isEmpty());
        QVERIFY(QSqlQuery(other).exec("rollback"));
        other.close();
        QCOMPARE(sql("select count(*) from content_category where content_id = 1"), { "2" });

        QVERIFY(manager.removeContentNode(node));
        QCOMPARE(node.id, -1);
        QCOMPARE(sql("select id from content order by id"), QStringList({ "2", "3" }));
        QCOMPARE(sql("select content_id from content_category order by content_id"),
                 QStringList({ "2", "3", "99" }));
        QCOMPARE(sql("select count(*) from content_options"), { "0" });
    }

    void damagedFileIsLeftAlone()
    {
        const QByteArray garbage(4096, 'x');
        QVERIFY(support::writeFile(Db, garbage));
        cms::ContentManager manager;
        QVERIFY(!manager.open(Db));
        QVector<qint64> ids;
        QVERIFY(!manager.recentDocuments(ids));
        QCOMPARE(support::readFile(Db), garbage);
    }
};

QTEST_GUILESS_MAIN(TestContentManager)
#include "tst_contentmanager.moc"
