// The highlighters: each rule table on the lines that catch real faults, the
// search highlight and its nearest match, formatting only what is shown
// giving what a whole pass gives, and no text or pattern holding a block up.

#include "viewer/base_highlighter.h"
#include "viewer/bin_highlighter.h"
#include "viewer/cpp_highlighter.h"
#include "viewer/sh_highlighter.h"
#include "viewer/xml_highlighter.h"

#include <ctime>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

namespace {

enum Kind { Plain, Bin, Cpp, Xml, Sh };

BASE_HIGHLIGHTER* make(int kind, QTextDocument* doc)
{
    switch (kind) {
    case Bin: return new BIN_HIGHLIGHTER(doc);
    case Cpp: return new CPP_HIGHLIGHTER(doc);
    case Xml: return new XML_HIGHLIGHTER(doc);
    case Sh: return new SH_HIGHLIGHTER(doc);
    default: return new BASE_HIGHLIGHTER(doc);
    }
}

// A format in words: b bold, i italic, u underline, w wave, dark grey,
// inv white on black; "-" for none.
QString words(const QTextCharFormat& f)
{
    QStringList w;
    if (f.fontWeight() == QFont::Bold) w << "b";
    if (f.fontItalic()) w << "i";
    if (f.underlineStyle() == QTextCharFormat::SingleUnderline && f.underlineColor() == Qt::gray) w << "u";
    if (f.underlineStyle() == QTextCharFormat::WaveUnderline && f.underlineColor() == Qt::gray) w << "w";
    if (f.foreground().color() == Qt::darkGray) w << "dark";
    if (f.background().color() == Qt::black && f.foreground().color() == Qt::white) w << "inv";
    return w.isEmpty() ? QStringLiteral("-") : w.join(' ');
}

// Each character of a block as the words of its format, joined by "|".
QString formatsOf(const QTextBlock& block)
{
    QVector<QString> at(block.length() - 1, QStringLiteral("-"));
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        for (int i = r.start; i < r.start + r.length && i < at.size(); ++i)
            at[i] = words(r.format);
    return at.toList().join('|');
}

QString runOf(const QString& formats, int from, int length)
{
    return formats.split('|').mid(from, length).join('|');
}

QString repeat(const QString& word, int n)
{
    return QStringList(QVector<QString>(n, word).toList()).join('|');
}

QString sampleSource()
{
    QString s;
    for (int i = 0; i < 200; ++i) {
        s += QStringLiteral("int f%1(char* s) { return g(\"a//b\", 0x%1); } // x\n").arg(i);
        if (i % 7 == 0) s += QStringLiteral("/* opened\n  inside */ #define X 1\n/*/ lone\n");
        if (i % 11 == 0) s += QStringLiteral("  #include <a.h>\n\tstatic const double d = 1.5e3;\n");
    }
    return s;
}

} // namespace

class TestHighlighters : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void search_data();
    void search();
    void shownEqualsWhole();
    void fuzz();
};

void TestHighlighters::rules_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("expected");

    const QString slashes = QStringLiteral("x = \"a//b\";");
    QTest::newRow("cpp string with two slashes, literal part") << int(Cpp) << slashes << 0 << 4 << repeat("u", 2);
    QTest::newRow("cpp string with two slashes, comment part") << int(Cpp) << slashes << 0 << 6 << repeat("dark", 5);
    QTest::newRow("cpp slash star slash alone") << int(Cpp) << "/*/\nint" << 0 << 0 << repeat("dark", 3);
    QTest::newRow("cpp slash star slash closes") << int(Cpp) << "/*/\nint" << 1 << 0 << repeat("b i", 3);
    const QString three = QStringLiteral("a /* b\nmiddle\nlast */ c");
    QTest::newRow("cpp comment, first line") << int(Cpp) << three << 0 << 0 << "-|-|dark|dark|dark|dark";
    QTest::newRow("cpp comment, line between") << int(Cpp) << three << 1 << 0 << repeat("dark", 6);
    QTest::newRow("cpp comment, closing line") << int(Cpp) << three << 2 << 0 << repeat("dark", 7) + "|-|-";
    QTest::newRow("cpp function, keyword, type") << int(Cpp) << "int ns::f (x) return" << 0 << 0
        << repeat("b i", 3) + "|-|" + repeat("i", 5) + "|-|-|-|-|-|" + repeat("b", 6);
    QTest::newRow("cpp number and preprocessor") << int(Cpp) << "  #if 0x1F" << 0 << 0 << repeat("b dark", 10);
    QTest::newRow("cpp hex number") << int(Cpp) << "n = 0x1FUL;" << 0 << 4 << repeat("u", 6) + "|-";

    const QString tag = QStringLiteral("<a href=\"x\">");
    QTest::newRow("xml tag brackets and name") << int(Xml) << tag << 0 << 0 << "b|b|i|i|i|i|i|i|u|u|u|b";
    QTest::newRow("xml comment over lines") << int(Xml) << "<!-- a\nb -->c" << 1 << 0 << repeat("dark", 5) + "|-";
    QTest::newRow("xml entity") << int(Xml) << "a &amp; b" << 0 << 2 << repeat("w", 5);

    const QString dump = QStringLiteral("00000000  0a 41 7f e9  |.A..|");
    QTest::newRow("hex dump columns") << int(Bin) << dump << 0 << 9 << "i|i|i|-|-|-|i|i|i|i|i|i|-";
    QTest::newRow("hex dump address") << int(Bin) << dump << 0 << 0 << repeat("-", 9);

    QTest::newRow("sh assignment and variable") << int(Sh) << "export A=$B" << 0 << 0 << repeat("i", 8) + "|-|i|i";
    QTest::newRow("sh keyword and string") << int(Sh) << "if 'x'" << 0 << 0 << "b|b|-|u|u|u";
    QTest::newRow("sh comment stops at dollar") << int(Sh) << "a # c $d" << 0 << 1 << repeat("dark", 5) + "|i|i";
    QTest::newRow("sh special parameter is no comment") << int(Sh) << "$#" << 0 << 0 << "i|i";
}

void TestHighlighters::rules()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(int, block);
    QFETCH(int, from);
    QFETCH(QString, expected);
    QTextDocument doc(text);
    make(kind, &doc)->rehighlight();
    const QString all = formatsOf(doc.findBlockByNumber(block));
    QCOMPARE(runOf(all, from, expected.count('|') + 1), expected);
}

void TestHighlighters::search_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("nearest");
    QTest::addColumn<QString>("firstLine");

    const int none = BASE_HIGHLIGHTER::NoMatch;
    const QString equal = QString(90, 'x') + "ab" + QString(18, 'x') + "ab";
    QTest::newRow("equal distance: the earlier") << int(Plain) << equal << "ab" << 100 << 90 << repeat("-", 90) + "|inv|inv|-";
    QTest::newRow("equal distance over lines") << int(Plain) << "ab\nxxxxxab" << "ab" << 4 << 0 << "inv|inv";
    QTest::newRow("nearer on a later line") << int(Plain) << "ab\n\n\nxab" << "ab" << 4 << 6 << "inv|inv";
    QTest::newRow("no match") << int(Plain) << "abc" << "z" << 0 << none << "-|-|-";
    QTest::newRow("star matches empty") << int(Plain) << "baab" << "a*" << 3 << 3 << "-|inv|inv|-";
    QTest::newRow("caret") << int(Plain) << "ab\ncd" << "^" << 4 << 3 << "-|-";
    QTest::newRow("dollar") << int(Plain) << "ab\ncd" << "$" << 0 << 2 << "-|-";
    QTest::newRow("word boundary") << int(Plain) << "ab cd" << "\\b" << 4 << 3 << "-|-|-|-|-";
    QTest::newRow("lookahead") << int(Plain) << "axbx" << "(?=x)" << 0 << 1 << "-|-|-|-";
    QTest::newRow("invalid") << int(Plain) << "a(b" << "(" << 0 << none << "-|-|-";
    QTest::newRow("limit verbs refused") << int(Plain) << "aa" << "(*LIMIT_MATCH=9)a" << 0 << none << "-|-";
    QTest::newRow("over every other format") << int(Cpp) << "int x" << "t x" << 0 << 2 << "b i|b i|inv|inv|inv";
}

void TestHighlighters::search()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(int, target);
    QFETCH(int, nearest);
    QFETCH(QString, firstLine);
    QTextDocument doc(text);
    BASE_HIGHLIGHTER* h = make(kind, &doc);
    const bool valid = h->setHighlight(pattern, target);
    QCOMPARE(valid, pattern != "(" && !pattern.startsWith("(*"));
    QCOMPARE(h->highlightError().isEmpty(), valid);
    // The whole pass from the top, and the scan outwards from the target.
    h->rehighlight();
    QCOMPARE(h->nearestMatch, nearest);
    h->setHighlight(pattern, target);
    QVERIFY(h->findNearestMatch());
    QCOMPARE(h->nearestMatch, nearest);
    QCOMPARE(runOf(formatsOf(doc.firstBlock()), 0, firstLine.count('|') + 1), firstLine);
}

void TestHighlighters::shownEqualsWhole()
{
    const QString text = sampleSource();
    QTextDocument whole(text);
    QTextDocument shown(text);
    BASE_HIGHLIGHTER* w = make(Cpp, &whole);
    BASE_HIGHLIGHTER* s = make(Cpp, &shown);
    QCoreApplication::processEvents();
    // Attaching formats nothing by itself.
    QVERIFY(shown.firstBlock().layout()->formats().isEmpty());

    for (const QString& pattern : {QString(), QStringLiteral("a//|\\d")}) {
        w->setHighlight(pattern, 500);
        w->rehighlight();
        s->setHighlight(pattern, 500);
        QVERIFY(s->findNearestMatch());
        QCOMPARE(s->nearestMatch, w->nearestMatch);
        s->targetPosition = -1;
        // Screens out of order: the end first, then the middle, then the top.
        const int n = shown.blockCount();
        QSet<int> asked;
        for (int first : {n - 30, n / 2, 0, n / 2 - 10}) {
            const int last = qMin(n - 1, first + 29);
            s->highlightBlocks(shown.findBlockByNumber(first), shown.findBlockByNumber(last));
            for (int i = first; i <= last; ++i)
                asked.insert(i);
        }
        // Only what was asked for.
        QVERIFY(shown.findBlockByNumber(n / 2 + 40).layout()->formats().isEmpty());
        for (int i : asked) {
            QCOMPARE(formatsOf(shown.findBlockByNumber(i)), formatsOf(whole.findBlockByNumber(i)));
            QCOMPARE(shown.findBlockByNumber(i).userState(), whole.findBlockByNumber(i).userState());
        }
    }
}

void TestHighlighters::fuzz()
{
    const QStringList atoms = {"a", "b", "x", "*", "+", "?", "(", ")", "|", "^", "$", "\\b", ".",
                               "[ab]", "{2,}", "(?=a)", "(a+)+", "(.*a){8}", "\\", "/*", "*/", "<!--"};
    const QString chars = QStringLiteral("ab x/*<!->\"'#$\\(){};\n\t0é");
    // Processor time, as the budgets count it: a loaded machine's waits are no fault.
    auto cpuMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    };
    QRandomGenerator random(20261207);
    qint64 slowest = 0;
    for (int round = 0; round < 60; ++round) {
        QString text;
        const int length = random.bounded(2000);
        for (int i = 0; i < length; ++i)
            text += chars.at(random.bounded(chars.size()));
        QString pattern;
        if (round % 10 == 0)
            text += '\n' + QString(28, 'a') + 'b';
        for (int i = random.bounded(1, 8); i > 0; --i)
            pattern += atoms.at(random.bounded(atoms.size()));
        QTextDocument doc(text);
        BASE_HIGHLIGHTER* h = make(round % 5, &doc);
        h->setHighlight(pattern, random.bounded(text.size() + 1));
        h->findNearestMatch();
        for (QTextBlock b = doc.firstBlock(); b.isValid(); b = b.next()) {
            const qint64 start = cpuMs();
            h->highlightBlocks(b, b);
            slowest = qMax(slowest, cpuMs() - start);
        }
    }
    // The budgets are 20 and 4 ms a block; this leaves room for a slow machine.
    QVERIFY2(slowest < 150, qPrintable(QString::number(slowest)));

    // A screenful of lines that make a backtracking matcher take ages, the
    // pattern typed and its nearest match looked for: within a second.
    QTextDocument doc(QStringList(QVector<QString>(80, QString(32, 'a') + 'b').toList()).join('\n'));
    BASE_HIGHLIGHTER* h = make(Plain, &doc);
    const qint64 start = cpuMs();
    h->setHighlight(QStringLiteral("(a|aa)+$"), 0);
    h->findNearestMatch();
    h->highlightBlocks(doc.firstBlock(), doc.lastBlock());
    QVERIFY2(cpuMs() - start < 1000, qPrintable(QString::number(cpuMs() - start)));
}

QTEST_MAIN(TestHighlighters)
#include "tst_highlighters.moc"
