#pragma once

#include <QPlainTextEdit>

class BASE_HIGHLIGHTER;
class QMouseEvent;
class QKeyEvent;
class QResizeEvent;
class QShowEvent;

// The read-only viewer of texts and hex dumps, made for a few keys and a
// touch screen: a tap in the upper half (or Menu) opens the viewer's menu,
// a tap in the lower half (or OK) clears the search highlight. The font is
// fixed-pitch and is made smaller to fit short lines when the screen turns.
class PLAIN_TEXT_VIEW : public QPlainTextEdit
{
    Q_OBJECT

public:
    // kind is a HighlighterKind; any other value shows the text unformatted.
    PLAIN_TEXT_VIEW(QWidget* parent, const QString& text, int kind);
    ~PLAIN_TEXT_VIEW() override;

    static constexpr int MinimumPointSize = 10;
    static constexpr int MaximumPointSize = 50;

    QString lastRegexp;
    int longestLine = 50;
    int wrapMode = NoWrap;
    BASE_HIGHLIGHTER* highlighter = nullptr;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void highlightPattern();
    void clearHighlight();
    void changeFontSize(int step);
    // Formats the blocks on screen that are not formatted yet.
    void highlightShown();
    void setPointSize(int size);

    // Formatting a block lays it out again, which can scroll and ask for
    // formatting from inside; that waits for the outer round.
    bool highlighting = false;
    bool highlightAgain = false;
    // The key last pressed here: OK pressed on the keyboard dialog's Enter
    // closes it, and its release, which then comes here, must not clear
    // the highlight just asked for.
    int pressedKey = 0;
};
