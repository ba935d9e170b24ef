#include "browser/delegate.h"
#include "browser/fs_model.h"
#include "browser/screen_watcher.h"
#include "support/sandbox.h"

#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QtTest>

namespace {

int blackIn(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += qGray(image.pixel(x, y)) < 64;
    return count;
}

} // namespace

class TestFsModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void modelTexts()
    {
        FS_MODEL model;
        const QString dir = QStringLiteral("/media/flash/books/fiction");
        model.setRootPath(dir);
        QTRY_COMPARE(model.rowCount(model.index(dir)), 2);
        const QModelIndex story = model.index(dir + QStringLiteral("/story.txt"));
        const QModelIndex classics = model.index(dir + QStringLiteral("/classics"));
        QCOMPARE(classics.sibling(classics.row(), 1).data().toString(), QStringLiteral("[Folder]"));
        QTRY_COMPARE(story.sibling(story.row(), 3).data().toString(), QStringLiteral("05.03.12 09:07"));
        QCOMPARE(story.sibling(story.row(), 1).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        QStandardItemModel other(3, 4);
        QVERIFY(!model.data(other.index(1, 1)).isValid());
    }

    void delegate_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("fast");
        // Black pixels on the outline's top line: all, none, or dotted.
        QTest::addColumn<int>("least");
        QTest::addColumn<int>("most");
        QTest::addColumn<QRect>("handedToWatcher");
        const int both = QStyle::State_Selected | QStyle::State_HasFocus;
        QTest::newRow("current row") << 0 << both << false << 200 << 200 << QRect();
        QTest::newRow("selected only") << 0 << int(QStyle::State_Selected) << false << 200 << 200 << QRect();
        QTest::newRow("focus only: dotted") << 0 << int(QStyle::State_HasFocus) << false << 20 << 180 << QRect();
        QTest::newRow("other row") << 0 << int(QStyle::State_None) << false << 0 << 0 << QRect();
        QTest::newRow("other column") << 1 << both << false << 0 << 0 << QRect();
        QTest::newRow("cursor step") << 0 << both << true << 0 << 0 << QRect(5, 8, 200, 28);
        QTest::newRow("cursor step, focus only") << 0 << int(QStyle::State_HasFocus) << true << 20 << 180 << QRect();
    }

    void delegate()
    {
        QFETCH(int, column);
        QFETCH(int, state);
        QFETCH(bool, fast);
        QFETCH(int, least);
        QFETCH(int, most);
        QStandardItemModel items(1, 2);
        QStyledItemDelegate base;
        DELEGATE delegate(nullptr, &base);
        delegate.fastHighlight = fast;
        screenWatcher.highlightRect = QRect();

        QImage image(210, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(5, 7);
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 200, 30);
        option.state = QStyle::State_Enabled | QStyle::State(state);
        delegate.paint(&painter, option, items.index(0, column));
        painter.end();

        // The outline lies 1 pixel in from the cell's top.
        const int top = blackIn(image, QRect(5, 8, 200, 1));
        QVERIFY2(top >= least && top <= most, qPrintable(QString::number(top)));
        QCOMPARE(blackIn(image, QRect(5, 7, 200, 1)), 0);
        QTEST(screenWatcher.highlightRect, "handedToWatcher");
        QCOMPARE(delegate.sizeHint(option, items.index(0, 0)),
                 base.sizeHint(option, items.index(0, 0)) + QSize(0, 6));
    }
};

QTEST_MAIN(TestFsModel)
#include "tst_fsmodel.moc"
