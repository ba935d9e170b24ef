#include "viewer/base_highlighter.h"

#include <QBrush>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdlib>
#include <ctime>

namespace {

// A match attempt gives up after this many steps of the matcher: a few
// milliseconds at most, and plenty for any line a person reads.
const char* const MatchLimit = "(*LIMIT_MATCH=100000)";
// Work on one block, per pass. A screenful is at most some 80 lines, so even
// a pattern that runs into every limit leaves the viewer within a second.
const int RulesBudgetMs = 20;
const int SearchBudgetMs = 4;
// The nearest-match scan over the whole document.
const int NearestBudgetMs = 650;

// Options that give QRegExp's meaning to \w, \s, \d and \b on any letter.
const QRegularExpression::PatternOptions PatternOptions =
    QRegularExpression::UseUnicodePropertiesOption;

// A per-block budget counts this thread's processor time: counted on the
// clock, a busy machine that preempts the viewer would cut an ordinary
// line's highlighting short, and the same text would look different.
class ProcessorDeadline
{
public:
    explicit ProcessorDeadline(int ms) : end(now() + qint64(ms) * 1000000) {}
    bool hasExpired() const { return now() >= end; }

private:
    static qint64 now()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    }
    qint64 end;
};

QRegularExpression bounded(const QString& pattern)
{
    return QRegularExpression(QLatin1String(MatchLimit) + pattern, PatternOptions);
}

} // namespace

BASE_HIGHLIGHTER::BASE_HIGHLIGHTER(QTextDocument* parent)
    : QSyntaxHighlighter(parent)
{
    // Attaching to a document queues a pass over all of it; blocks are
    // formatted as they are shown instead (highlightBlocks).
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);

    multiLineCommentFormat.setForeground(QBrush(Qt::darkGray, Qt::SolidPattern));
    highlightFormat.setBackground(QBrush(Qt::black, Qt::SolidPattern));
    highlightFormat.setForeground(QBrush(Qt::white, Qt::SolidPattern));
}

BASE_HIGHLIGHTER::~BASE_HIGHLIGHTER() = default;

QRegularExpression BASE_HIGHLIGHTER::rulePattern(const QString& pattern)
{
    return bounded(pattern);
}

void BASE_HIGHLIGHTER::addRule(const QTextCharFormat& format, const char* pattern)
{
    rules.append({format, rulePattern(QString::fromLatin1(pattern))});
}

bool BASE_HIGHLIGHTER::setHighlight(const QString& pattern, int position)
{
    highlightErrorText.clear();
    highlightExpression = QRegularExpression();
    // Control verbs at the start would lift the matcher's limits; QRegExp
    // never accepted them either.
    if (pattern.startsWith(QLatin1String("(*"))) {
        highlightErrorText = tr("a pattern cannot start with (*");
    } else if (!pattern.isEmpty()) {
        QRegularExpression rx = bounded(pattern);
        if (rx.isValid())
            highlightExpression = rx;
        else
            highlightErrorText = rx.errorString();
    }
    blockOffset = 0;
    targetPosition = position;
    nearestMatch = NoMatch;
    ++generation;
    return highlightErrorText.isEmpty();
}

template <typename Deadline, typename Found>
bool BASE_HIGHLIGHTER::eachMatch(const QRegularExpression& rx, const QString& text,
                                 const Deadline& deadline, Found found)
{
    int from = 0;
    while (from <= text.size()) {
        const QRegularExpressionMatch m = rx.match(text, from);
        if (!m.hasMatch())
            return true;
        const int index = m.capturedStart();
        const int length = m.capturedLength();
        found(index, length);
        from = index + length;
        if (length == 0) {
            // An empty match would be found again: step over one character
            // (both halves of a surrogate pair).
            from += (index < text.size() && text.at(index).isHighSurrogate()) ? 2 : 1;
        }
        if (deadline.hasExpired())
            return false;
    }
    return true;
}

template <typename Found>
int BASE_HIGHLIGHTER::commentRanges(const QString& text, int previous, Found found) const
{
    int state = 0;
    int start = 0;
    if (previous != 1) {
        const QRegularExpressionMatch m = commentStartExpression.match(text);
        start = m.hasMatch() ? m.capturedStart() : -1;
    }
    while (start >= 0) {
        // The end is searched from the comment's start, so "/*/" is whole.
        const QRegularExpressionMatch end = commentEndExpression.match(text, start);
        int length;
        if (!end.hasMatch()) {
            state = 1;
            length = text.size() - start;
        } else {
            length = end.capturedStart() - start + end.capturedLength();
        }
        found(start, length);
        // An empty end match must still move on.
        const QRegularExpressionMatch next =
            commentStartExpression.match(text, start + qMax(length, 1));
        start = next.hasMatch() ? next.capturedStart() : -1;
    }
    return state;
}

void BASE_HIGHLIGHTER::highlightBlock(const QString& text)
{
    const QTextBlock block = currentBlock();
    if (block.isValid())
        blockOffset = block.position();

    const ProcessorDeadline rulesDeadline(RulesBudgetMs);
    for (const HighlightingRule& rule : qAsConst(rules)) {
        const bool whole = eachMatch(rule.pattern, text, rulesDeadline, [&](int index, int length) {
            setFormat(index, length, rule.format);
        });
        if (!whole)
            break;
    }

    if (!commentStartExpression.pattern().isEmpty()) {
        setCurrentBlockState(0);
        const int state = commentRanges(text, previousBlockState(), [&](int start, int length) {
            setFormat(start, length, multiLineCommentFormat);
        });
        setCurrentBlockState(state);
    }

    if (!highlightExpression.pattern().isEmpty()) {
        eachMatch(highlightExpression, text, ProcessorDeadline(SearchBudgetMs),
                  [&](int index, int length) {
                      if (targetPosition >= 0)
                          considerMatch(index + blockOffset);
                      setFormat(index, length, highlightFormat);
                  });
    }
    blockOffset += text.size() + 1;

    if (block.isValid()) {
        const int n = block.blockNumber();
        if (n < formattedGeneration.size())
            formattedGeneration[n] = generation;
    }
}

void BASE_HIGHLIGHTER::considerMatch(int position)
{
    // Strictly nearer: at equal distance the earlier match, met first in a
    // pass from the top, stays.
    const qint64 distance = std::llabs(qint64(position) - targetPosition);
    const qint64 best = std::llabs(qint64(nearestMatch) - targetPosition);
    if (distance < best || (distance == best && position < nearestMatch))
        nearestMatch = position;
}

int BASE_HIGHLIGHTER::endState(const QTextBlock& block)
{
    if (commentStartExpression.pattern().isEmpty() || !block.isValid())
        return -1;
    const int wanted = block.blockNumber();
    if (wanted < statesKnown)
        return block.userState();
    QTextBlock b = document()->findBlockByNumber(statesKnown);
    int previous = statesKnown > 0 ? b.previous().userState() : -1;
    while (b.isValid() && b.blockNumber() <= wanted) {
        previous = commentRanges(b.text(), previous, [](int, int) {});
        b.setUserState(previous);
        ++statesKnown;
        b = b.next();
    }
    return previous;
}

void BASE_HIGHLIGHTER::highlightBlocks(const QTextBlock& first, const QTextBlock& last)
{
    if (!first.isValid() || document() == nullptr)
        return;
    const int count = document()->blockCount();
    if (formattedGeneration.size() != count)
        formattedGeneration.fill(-1, count);
    // The states the blocks start and end in are known beforehand, so
    // formatting one block never runs on into the ones after it.
    endState(last.isValid() ? last : document()->lastBlock());
    // Plain text without a search has nothing to format: formatting a block
    // costs a format per character, a lot on a long line.
    const bool nothing = rules.isEmpty() && commentStartExpression.pattern().isEmpty()
                         && highlightExpression.pattern().isEmpty();
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        int& formatted = formattedGeneration[b.blockNumber()];
        if (formatted != generation) {
            if (nothing && b.layout()->formats().isEmpty())
                formatted = generation;
            else
                rehighlightBlock(b);
        }
        if (b == last)
            break;
    }
}

bool BASE_HIGHLIGHTER::findNearestMatch()
{
    nearestMatch = NoMatch;
    if (highlightExpression.pattern().isEmpty() || targetPosition < 0 || document() == nullptr)
        return true;
    const QDeadlineTimer deadline(NearestBudgetMs);
    auto scan = [&](const QString& text, int offset) {
        eachMatch(highlightExpression, text, ProcessorDeadline(SearchBudgetMs),
                  [&](int index, int) { considerMatch(index + offset); });
    };
    auto distance = [&]() { return std::llabs(qint64(nearestMatch) - targetPosition); };
    // Outwards from the target's block, until every block left is farther
    // away than the match found. Positions are counted along: asking each
    // block for its own walks the document's fragment tree.
    QTextBlock forward = document()->findBlock(targetPosition);
    if (!forward.isValid())
        forward = document()->lastBlock();
    QTextBlock backward = forward.previous();
    int forwardAt = forward.position();
    int backwardEnd = forwardAt - 1; // where the block before ends (its separator)
    while (forward.isValid() || backward.isValid()) {
        if (deadline.hasExpired())
            return false;
        if (forward.isValid()) {
            if (forwardAt - qint64(targetPosition) > distance()) {
                forward = QTextBlock();
            } else {
                const QString text = forward.text();
                scan(text, forwardAt);
                forwardAt += text.size() + 1;
                forward = forward.next();
            }
        }
        if (backward.isValid()) {
            if (targetPosition - qint64(backwardEnd) > distance()) {
                backward = QTextBlock();
            } else {
                const QString text = backward.text();
                scan(text, backwardEnd - text.size());
                backwardEnd -= text.size() + 1;
                backward = backward.previous();
            }
        }
    }
    return true;
}
