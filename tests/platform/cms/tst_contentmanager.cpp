// The device's content database on a real SQLite file: the schema and the
// standard categories, the recent documents' order, reading and removing a
// record. (A damaged or busy file: through "Clean 'Recent Documents'".)

#include "platform/cms/contentmanager.h"
#include "support/files.h"
#include "support/sandbox.h"
#include "support/sql.h"

namespace {

const QString Db = QStringLiteral("/tmp/cms/content.db");

QStringList sql(const QString& statement)
{
    return support::sqlRows(Db, statement);
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
        for (int round = 0; round < 2; ++round)
            QVERIFY(cms::ContentManager().open(Db));
        QCOMPARE(sql("select group_concat(name, ' ') from (select name from sqlite_master order by name)"),
                 { "category category_category content content_bookmarks content_category content_options "
                   "content_shortcuts name_index notes" });
        // Each category with its parent, once.
        QCOMPARE(sql("select group_concat(c.id || ' ' || c.title || ' ' || ifnull(l.parent_category_id, '-'), ', ') "
                     "from category c left join category_category l on c.id = l.child_category_id"),
                 { "0 root -, 1 Library 0, 2 Server 0, 3 Recent documents 0, 4 Reading list 0" });
    }

    void recentDocumentsAndRecords()
    {
        cms::ContentManager manager;
        QVERIFY(manager.open(Db));
        // Three documents in "Recent documents" with a member (99) that has no
        // record; the first also on the reading list, with options.
        sql("insert into content (id, name, location, last_access) values "
            "(1, 'b1', '/media/flash', '2012-11-01 10:00:00'), (2, 'b2', '/media/flash', '2012-11-23 09:00:00'), "
            "(3, 'b3', '/media/flash', '2012-10-05 08:00:00')");
        sql("insert into content_category (content_id, category_id) values (1, 3), (2, 3), (99, 3), (3, 3), (1, 4)");
        sql("insert into content_options (id, options) values (1, x'00ff')");
        QVector<qint64> ids;
        QVERIFY(manager.recentDocuments(ids));
        QCOMPARE(ids, QVector<qint64>({ 2, 1, 3, -1 }));
        cms::ContentNode node;
        node.name = QStringLiteral("kept");
        QVERIFY(!manager.getContentNode(-1, node));
        QCOMPARE(node.name, QStringLiteral("kept"));
        QVERIFY(manager.getContentNode(2, node));
        QCOMPARE(node.absolutePath() + ' ' + node.lastAccess, QStringLiteral("/media/flash/b2 2012-11-23 09:00:00"));

        QVERIFY(manager.getContentNode(1, node) && manager.removeContentNode(node));
        QCOMPARE(node.id, -1);
        QCOMPARE(sql("select id from content order by id"), QStringList({ "2", "3" }));
        QCOMPARE(sql("select content_id from content_category order by content_id"), QStringList({ "2", "3", "99" }));
        QCOMPARE(sql("select count(*) from content_options"), { "0" });
    }
};

QTEST_GUILESS_MAIN(TestContentManager)
#include "tst_contentmanager.moc"
