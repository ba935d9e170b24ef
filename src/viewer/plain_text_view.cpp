#include "viewer/plain_text_view.h"

#include "browser/menu.h"
#include "browser/messagebox.h"
#include "browser/panelrefresh.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "utilities/screenrotationdialog.h"
#include "viewer/base_highlighter.h"
#include "viewer/bin_highlighter.h"
#include "viewer/cpp_highlighter.h"
#include "viewer/highlighterkind.h"
#include "viewer/sh_highlighter.h"
#include "viewer/xml_highlighter.h"

#include <QAction>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>

namespace {

const char* const EmptyText = "Empty text, tee-hee...";
const char* const FontFamily = "Bitstream Vera Sans Mono";
const int FontPointSize = 20;
// Texts with longer lines are read scrolling sideways, never squeezed.
const int WidestFittedLine = 80;
// A width change below this is no turn of the screen.
const int FittingThreshold = 99;
// Where the Menu and OK keys tap: the upper half, and the lower half of any
// window at least 500 pixels high.
const int KeyTapOffset = 250;

int longestLineOf(const QString& text, int atLeast)
{
    int longest = atLeast;
    int start = 0;
    for (;;) {
        const int end = text.indexOf(QLatin1Char('\n'), start);
        const int length = (end < 0 ? text.size() : end) - start;
        longest = qMax(longest, length);
        if (end < 0)
            return longest;
        start = end + 1;
    }
}

BASE_HIGHLIGHTER* createHighlighter(int kind, QTextDocument* document)
{
    switch (kind) {
    case HL_PLAIN:
        return new BASE_HIGHLIGHTER(document);
    case HL_BIN:
        return new BIN_HIGHLIGHTER(document);
    case HL_CPP:
        return new CPP_HIGHLIGHTER(document);
    case HL_XML:
        return new XML_HIGHLIGHTER(document);
    case HL_SH:
        return new SH_HIGHLIGHTER(document);
    default:
        return nullptr;
    }
}

} // namespace

PLAIN_TEXT_VIEW::PLAIN_TEXT_VIEW(QWidget* parent, const QString& text, int kind)
    : QPlainTextEdit(parent)
{
    longestLine = longestLineOf(text, longestLine);
    setLineWrapMode(LineWrapMode(wrapMode));
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);

    QFont font(QString::fromLatin1(FontFamily), FontPointSize, -1, false);
    font.setFixedPitch(true);
    document()->setDefaultFont(font);
    // The text last: a change of wrap or font lays out every line again,
    // seconds on a long file.
    setPlainText(text.isEmpty() ? QString::fromLatin1(EmptyText) : text);

    // The document is the highlighter's Qt parent and deletes it: detached
    // from a live document it would clear the formats of every line first.
    highlighter = createHighlighter(kind, document());

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &PLAIN_TEXT_VIEW::highlightShown);
}

PLAIN_TEXT_VIEW::~PLAIN_TEXT_VIEW() = default;

void PLAIN_TEXT_VIEW::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->pos().y() >= height() / 2) {
        clearHighlight();
        return;
    }

    MENU menu(this);
    QAction* highlight = menu.addAction(QStringLiteral("Highlight..."));
    QAction* increase = menu.addAction(QStringLiteral("Increase font size"));
    QAction* decrease = menu.addAction(QStringLiteral("Decrease font size"));
    QAction* rotate = menu.addAction(QStringLiteral("Rotate screen"));
    QAction* wrap = menu.addAction(QStringLiteral("Wrap line"));
    wrap->setCheckable(true);
    wrap->setChecked(wrapMode != 0);
    menu.setActiveAction(highlight);

    QAction* chosen = menu.exec(e->globalPos());
    if (chosen == highlight) {
        highlightPattern();
    } else if (chosen == increase) {
        changeFontSize(+1);
    } else if (chosen == decrease) {
        changeFontSize(-1);
    } else if (chosen == rotate) {
        ui::ScreenRotationDialog dialog(nullptr);
        dialog.popup();
    } else if (chosen == wrap) {
        wrapMode = 1 - wrapMode;
        setLineWrapMode(LineWrapMode(wrapMode));
        highlightShown();
    }
}

void PLAIN_TEXT_VIEW::keyPressEvent(QKeyEvent* e)
{
    pressedKey = e->key();
    QPlainTextEdit::keyPressEvent(e);
}

void PLAIN_TEXT_VIEW::keyReleaseEvent(QKeyEvent* e)
{
    const bool pressedHere = pressedKey == e->key() && !e->isAutoRepeat();
    pressedKey = 0;
    int y;
    switch (pressedHere ? e->key() : 0) {
    case Qt::Key_Menu:
        y = KeyTapOffset;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        y = height() - KeyTapOffset;
        break;
    default:
        QPlainTextEdit::keyReleaseEvent(e);
        return;
    }
    const QPointF at(KeyTapOffset, y);
    QMouseEvent tap(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    mouseReleaseEvent(&tap);
}

void PLAIN_TEXT_VIEW::resizeEvent(QResizeEvent* e)
{
    QPlainTextEdit::resizeEvent(e);
    const int width = e->size().width();
    if (qAbs(width - e->oldSize().width()) > FittingThreshold && longestLine <= WidestFittedLine) {
        QFont font = document()->defaultFont();
        const QString line(longestLine, QLatin1Char('W'));
        while (font.pointSize() > MinimumPointSize
               && QFontMetrics(font).horizontalAdvance(line) >= width)
            font.setPointSize(font.pointSize() - 1);
        document()->setDefaultFont(font);
    }
    highlightShown();
}

void PLAIN_TEXT_VIEW::showEvent(QShowEvent* e)
{
    QPlainTextEdit::showEvent(e);
    highlightShown();
}

void PLAIN_TEXT_VIEW::highlightPattern()
{
    QString pattern;
    {
        ui::VexaKeyboardDialog dialog(this, tr("Enter regexp for highlighting"));
        pattern = dialog.popup(lastRegexp);
    }
    updateWholeScreen();
    if (pattern.isEmpty() || highlighter == nullptr)
        return;
    lastRegexp = pattern;

    const bool valid = highlighter->setHighlight(pattern, textCursor().position());
    const bool whole = highlighter->findNearestMatch();
    highlighter->targetPosition = -1;
    if (highlighter->nearestMatch != BASE_HIGHLIGHTER::NoMatch) {
        QTextCursor cursor = textCursor();
        cursor.setPosition(highlighter->nearestMatch);
        setTextCursor(cursor);
        ensureCursorVisible();
    }
    highlightShown();

    if (!valid) {
        showMessageBox(this, QMessageBox::Warning, tr("Highlight error!"),
                       tr("Invalid regexp \"%1\": %2").arg(pattern, highlighter->highlightError()),
                       QMessageBox::Ok | QMessageBox::Cancel);
    } else if (!whole) {
        showMessageBox(this, QMessageBox::Information, tr("Highlight"),
                       tr("The search for \"%1\" took too long and stopped; "
                          "a nearer match may have been missed.").arg(pattern),
                       QMessageBox::Ok | QMessageBox::Cancel);
    }
}

void PLAIN_TEXT_VIEW::clearHighlight()
{
    if (highlighter != nullptr) {
        highlighter->setHighlight(QString(), -1);
        highlightShown();
    }
    updateWholeScreen();
}

void PLAIN_TEXT_VIEW::changeFontSize(int step)
{
    setPointSize(document()->defaultFont().pointSize() + step);
    highlightShown();
}

void PLAIN_TEXT_VIEW::setPointSize(int size)
{
    QFont font = document()->defaultFont();
    font.setPointSize(qBound(MinimumPointSize, size, MaximumPointSize));
    document()->setDefaultFont(font);
}

void PLAIN_TEXT_VIEW::highlightShown()
{
    if (highlighter == nullptr)
        return;
    if (highlighting) {
        highlightAgain = true;
        return;
    }
    highlighting = true;
    do {
        highlightAgain = false;
        const QTextBlock first = firstVisibleBlock();
        const int bottom = viewport()->height();
        const QPointF offset = contentOffset();
        QTextBlock last = first;
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            last = b;
            if (blockBoundingGeometry(b).translated(offset).bottom() >= bottom)
                break;
        }
        highlighter->highlightBlocks(first, last);
    } while (highlightAgain);
    highlighting = false;
}
