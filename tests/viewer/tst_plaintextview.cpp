// The text viewer: its font, menu and keys, font bounds and width fitting
// (the search through the keyboard dialog is run end to end).

#include "support/modal.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"
#include "viewer/base_highlighter.h"
#include "viewer/highlighterkind.h"
#include "viewer/plain_text_view.h"


#include <QAction>
#include <QFontInfo>
#include <QMenu>
#include <QtTest>

namespace {

int pointSize(const PLAIN_TEXT_VIEW& view)
{
    return view.document()->defaultFont().pointSize();
}

// Opens the menu with the Menu key and chooses entry (none: Escape); returns
// the entries as "text" or "[x] text" for a ticked one, "*" marking the active.
QStringList chooseFromMenu(PLAIN_TEXT_VIEW& view, const QString& entry)
{
    QStringList seen;
    support::whenMenuOpens([&](QMenu* menu) {
        for (QAction* a : menu->actions())
            seen << QString(a == menu->activeAction() ? "*" : "") + (a->isChecked() ? "[x] " : "") + a->text();
        for (QAction* a : menu->actions()) {
            if (a->text() == entry) {
                menu->setActiveAction(a);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
        menu->hide();
    });
    QTest::keyClick(&view, Qt::Key_Menu);
    return seen;
}

} // namespace

class TestPlainTextView : public QObject
{
    Q_OBJECT

    support::ScreenListener screen;

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(screen.bind());
    }

    void menuAndFontBounds();
    void widthFitting_data();
    void widthFitting();
};

void TestPlainTextView::menuAndFontBounds()
{
    // The last line counts for the width even without a line feed.
    QCOMPARE(PLAIN_TEXT_VIEW(nullptr, "a\n" + QString(120, 'x'), HL_PLAIN).longestLine, 120);
    PLAIN_TEXT_VIEW view(nullptr, "text", HL_PLAIN);
    QCOMPARE(QFontInfo(view.document()->defaultFont()).family(), QString("Bitstream Vera Sans Mono"));
    view.resize(600, 800);
    view.show();
    const QStringList entries = chooseFromMenu(view, "Wrap line");
    QCOMPARE(entries, QStringList({"*Highlight...", "Increase font size", "Decrease font size",
                                   "Rotate screen", "Wrap line"}));
    QCOMPARE(view.lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(chooseFromMenu(view, QString()).last(), QString("[x] Wrap line"));

    for (int i = 0; i < 11; ++i)
        chooseFromMenu(view, "Decrease font size");
    QCOMPARE(pointSize(view), 10);
    for (int i = 0; i < 41; ++i)
        chooseFromMenu(view, "Increase font size");
    QCOMPARE(pointSize(view), 50);

    // OK clears the search highlight; the release of an OK pressed on the
    // keyboard dialog's Enter, which closed it, comes here and does not.
    view.highlighter->setHighlight("text", 0);
    QTest::keyRelease(&view, Qt::Key_Return);
    QCOMPARE(view.highlighter->highlightExpression.pattern().isEmpty(), false);
    QTest::keyClick(&view, Qt::Key_Return);
    QVERIFY(view.highlighter->highlightExpression.pattern().isEmpty());
}

void TestPlainTextView::widthFitting_data()
{
    QTest::addColumn<int>("longest");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("shrunk");
    QTest::newRow("turned, 60 columns") << 60 << 800 << 600 << true;
    QTest::newRow("lines over 80 columns") << 120 << 800 << 600 << false;
    QTest::newRow("too narrow for any size") << 60 << 800 << 100 << true;
}

void TestPlainTextView::widthFitting()
{
    QFETCH(int, longest);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, shrunk);
    PLAIN_TEXT_VIEW view(nullptr, QString(longest, 'x'), HL_PLAIN);
    // The first resize (from no width) fits too: start from its outcome.
    view.resize(from, 400);
    view.show();
    const int before = pointSize(view);
    view.resize(to, 400);
    QTRY_COMPARE(view.width(), to);
    QCOMPARE(pointSize(view) < before, shrunk);
    QVERIFY(!shrunk || pointSize(view) == PLAIN_TEXT_VIEW::MinimumPointSize
            || QFontMetrics(view.document()->defaultFont()).horizontalAdvance(QString(longest, 'W')) < to);
}

QTEST_MAIN(TestPlainTextView)
#include "tst_plaintextview.moc"
