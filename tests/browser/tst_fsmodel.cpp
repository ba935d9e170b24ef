#include "browser/delegate.h"
#include "support/sandbox.h"
#include "browser/fs_model.h"
#include "browser/screen_watcher.h"

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QtTest>

class TestFsModel : public QObject
{
    Q_OBJECT

private:
    // Row of a painted 200 x 30 cell, as the delegate leaves it.
    static QImage paintCell(DELEGATE& delegate, const QModelIndex& index, QStyle::State state,
                            QPoint offset = QPoint())
    {
        QImage image(200, 30, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(offset);
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 200, 30);
        option.state = QStyle::State_Enabled | state;
        option.palette.setColor(QPalette::Highlight, Qt::black);
        delegate.paint(&painter, option, index);
        return image;
    }

    static int blackPixelsInRow(const QImage& image, int y)
    {
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            count += qGray(image.pixel(x, y)) < 64 ? 1 : 0;
        return count;
    }

    static int blackPixelsInColumn(const QImage& image, int x)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            count += qGray(image.pixel(x, y)) < 64 ? 1 : 0;
        return count;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
    }

    void modelTexts()
    {
        FS_MODEL model;
        const QString dirPath = QStringLiteral("/media/flash/books/fiction");
        model.setRootPath(dirPath);
        const QModelIndex root = model.index(dirPath);
        QTRY_COMPARE(model.rowCount(root), 2);

        const QModelIndex story = model.index(dirPath + QStringLiteral("/story.txt"));
        const QModelIndex classics = model.index(dirPath + QStringLiteral("/classics"));
        QVERIFY(story.isValid() && classics.isValid());

        // A directory's size says "[Folder]"; a file's is the library's text.
        QCOMPARE(model.data(classics.sibling(classics.row(), 1)).toString(),
                 QStringLiteral("[Folder]"));
        const QModelIndex storySize = story.sibling(story.row(), 1);
        QTRY_VERIFY(!model.data(storySize).toString().isEmpty());
        QCOMPARE(model.data(storySize), model.QFileSystemModel::data(storySize));
        QVERIFY(model.data(storySize).toString() != QStringLiteral("[Folder]"));

        // Short dates in the last column.
        QTRY_COMPARE(model.data(story.sibling(story.row(), 3)).toString(),
                     QStringLiteral("05.03.12 09:07"));

        // The size column is right-aligned for files and folders alike.
        const int rightCentered = int(Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(model.data(storySize, Qt::TextAlignmentRole).toInt(), rightCentered);
        QCOMPARE(model.data(classics.sibling(classics.row(), 1), Qt::TextAlignmentRole).toInt(),
                 rightCentered);
        QVERIFY(model.data(story.sibling(story.row(), 0), Qt::TextAlignmentRole).toInt()
                != rightCentered);

        // Names and other roles are the library's.
        QCOMPARE(model.data(story).toString(), QStringLiteral("story.txt"));
        QCOMPARE(model.data(classics.sibling(classics.row(), 1), Qt::ToolTipRole),
                 model.QFileSystemModel::data(classics.sibling(classics.row(), 1), Qt::ToolTipRole));

        // Invalid and foreign indexes give nothing, and don't crash.
        QVERIFY(!model.data(QModelIndex()).isValid());
        QStandardItemModel other(3, 4);
        QVERIFY(!model.data(other.index(1, 1)).isValid());
        QVERIFY(!model.data(other.index(1, 3)).isValid());
    }

    void delegateOutline()
    {
        QStandardItemModel items(1, 2);
        items.setData(items.index(0, 0), QStringLiteral("x"));
        QStyledItemDelegate base;
        DELEGATE delegate(nullptr, &base);
        const QModelIndex first = items.index(0, 0);

        // Selected and focused: a solid outline, 1 pixel in from top and
        // bottom, and no filled selection.
        QImage cell = paintCell(delegate, first, QStyle::State_Selected | QStyle::State_HasFocus);
        QCOMPARE(blackPixelsInRow(cell, 1), 200);
        QCOMPARE(blackPixelsInRow(cell, 28), 200);
        QCOMPARE(blackPixelsInRow(cell, 0), 0);
        QCOMPARE(blackPixelsInRow(cell, 29), 0);
        QCOMPARE(blackPixelsInColumn(cell, 0), 28);
        QCOMPARE(blackPixelsInColumn(cell, 199), 28);
        QCOMPARE(blackPixelsInColumn(cell, 150), 2);

        // Selected only: solid as well.
        cell = paintCell(delegate, first, QStyle::State_Selected);
        QCOMPARE(blackPixelsInRow(cell, 1), 200);

        // Focus only: dotted.
        cell = paintCell(delegate, first, QStyle::State_HasFocus);
        const int dots = blackPixelsInRow(cell, 1);
        QVERIFY2(dots > 20 && dots < 180, qPrintable(QString::number(dots)));
        QVERIFY(blackPixelsInRow(cell, 28) > 20);

        // Nothing for other rows, nothing in other columns.
        cell = paintCell(delegate, first, QStyle::State_None);
        QCOMPARE(blackPixelsInRow(cell, 1), 0);
        QCOMPARE(blackPixelsInRow(cell, 28), 0);
        cell = paintCell(delegate, items.index(0, 1),
                         QStyle::State_Selected | QStyle::State_HasFocus);
        QCOMPARE(blackPixelsInRow(cell, 1), 0);
        QCOMPARE(blackPixelsInRow(cell, 28), 0);
        QCOMPARE(blackPixelsInColumn(cell, 0), 0);

        // Rows are 6 pixels taller than the base delegate makes them.
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 200, 30);
        QCOMPARE(delegate.sizeHint(option, first),
                 base.sizeHint(option, first) + QSize(0, 6));
    }

    void delegateFastPath()
    {
        QStandardItemModel items(1, 2);
        QStyledItemDelegate base;
        DELEGATE delegate(nullptr, &base);
        const QModelIndex first = items.index(0, 0);
        delegate.fastHighlight = true;

        // The current row's outline goes to the watcher, in device
        // coordinates, and is not painted.
        screenWatcher.highlightRect = QRect();
        QImage cell = paintCell(delegate, first, QStyle::State_Selected | QStyle::State_HasFocus,
                                QPoint(5, 7));
        QCOMPARE(screenWatcher.highlightRect, QRect(5, 8, 200, 28));
        int black = 0;
        for (int y = 0; y < cell.height(); ++y)
            black += blackPixelsInRow(cell, y);
        QCOMPARE(black, 0);

        // A row that only has focus is still painted dotted, and leaves the
        // watcher alone.
        screenWatcher.highlightRect = QRect();
        cell = paintCell(delegate, first, QStyle::State_HasFocus);
        QVERIFY(blackPixelsInRow(cell, 1) > 20);
        QVERIFY(screenWatcher.highlightRect.isNull());

        // Other columns never reach the watcher.
        paintCell(delegate, items.index(0, 1), QStyle::State_Selected | QStyle::State_HasFocus);
        QVERIFY(screenWatcher.highlightRect.isNull());
    }
};

QTEST_MAIN(TestFsModel)
#include "tst_fsmodel.moc"
