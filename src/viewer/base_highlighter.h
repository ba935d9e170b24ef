#pragma once

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QVector>

#include <climits>

class QTextBlock;

struct HighlightingRule
{
    QTextCharFormat format;
    QRegularExpression pattern;
};

// Plain text: no rules, only the owner's search highlight. The subclasses
// add rule tables and, for XML and C-like sources, comments over lines.
//
// Blocks are formatted only when the viewer is about to show them
// (highlightBlocks): a whole-document pass over a 10 MiB text costs seconds
// and a text layout per line. The multi-line comment state a block starts
// in is worked out by a cheaper scan of the blocks before it, so a block
// looks the same whichever order blocks are shown in.
//
// Every match loop advances past empty matches and gives up on a block
// after a few milliseconds, and each match attempt is bounded too: no
// pattern, typed or built in, can freeze the viewer.
class BASE_HIGHLIGHTER : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    static constexpr int NoMatch = INT_MAX;

    explicit BASE_HIGHLIGHTER(QTextDocument* parent);
    ~BASE_HIGHLIGHTER() override;

    // The owner's search pattern (empty: none) and the document position
    // the nearest match is looked for from (-1: none). Returns false, and
    // highlights nothing, when the pattern is not a valid one.
    bool setHighlight(const QString& pattern, int position);
    QString highlightError() const { return highlightErrorText; }

    // Finds nearestMatch for targetPosition over the whole document without
    // formatting it; false if it had to stop early (what was found by then
    // stays in nearestMatch).
    bool findNearestMatch();

    // Formats the blocks from first to last (inclusive) that are not
    // formatted for the current search yet.
    void highlightBlocks(const QTextBlock& first, const QTextBlock& last);

    // The state (1: inside a multi-line comment) the block ends in, working
    // it out for the blocks before it as needed.
    int endState(const QTextBlock& block);

    QVector<HighlightingRule> rules;
    QRegularExpression commentStartExpression;
    QRegularExpression commentEndExpression;
    QRegularExpression highlightExpression;
    QTextCharFormat multiLineCommentFormat;
    QTextCharFormat highlightFormat;
    int targetPosition = -1;
    int nearestMatch = NoMatch;
    int blockOffset = 0;

protected:
    void highlightBlock(const QString& text) override;

    // A rule's pattern as the tables give it.
    static QRegularExpression rulePattern(const QString& pattern);
    void addRule(const QTextCharFormat& format, const char* pattern);

private:
    // Calls found(index, length) for each match of rx in text, the next
    // search starting where the match ended (one character on after an
    // empty one). False if the deadline ended the loop.
    template <typename Deadline, typename Found>
    static bool eachMatch(const QRegularExpression& rx, const QString& text,
                          const Deadline& deadline, Found found);
    // The comment pass: found(start, length) for each comment range of a
    // block starting in state previous; returns the state it ends in.
    template <typename Found>
    int commentRanges(const QString& text, int previous, Found found) const;
    void considerMatch(int position);

    QString highlightErrorText;
    // Bumped when the search changes; a block is formatted for one.
    int generation = 0;
    QVector<int> formattedGeneration;
    // Blocks 0 .. statesKnown - 1 carry their end state.
    int statesKnown = 0;
};
