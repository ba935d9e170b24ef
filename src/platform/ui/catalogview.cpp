#include "platform/ui/catalogview.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>
#include <QtDebug>

#include <climits>

namespace ui {

const QString CatalogView::UP = QStringLiteral("up");
const QString CatalogView::DOWN = QStringLiteral("down");
const QString CatalogView::LEFT = QStringLiteral("left");
const QString CatalogView::RIGHT = QStringLiteral("right");
const QString CatalogView::RECYCLE_UP = QStringLiteral("recycle_up");
const QString CatalogView::RECYCLE_DOWN = QStringLiteral("recycle_down");
const QString CatalogView::RECYCLE_LEFT = QStringLiteral("recycle_left");
const QString CatalogView::RECYCLE_RIGHT = QStringLiteral("recycle_right");
const char* const CatalogView::FocusProperty = "catalogFocus";

CatalogView::CatalogView(QWidget* parent)
    : QWidget(parent)
    , rowsLayout(new QVBoxLayout(this))
{
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(2);
    setFocusPolicy(Qt::NoFocus);
}

void CatalogView::addRow(const QList<QAbstractButton*>& buttons)
{
    auto* rowLayout = new QHBoxLayout;
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(2);
    for (QAbstractButton* b : buttons) {
        b->setParent(this);
        b->setProperty(FocusProperty, false);
        rowLayout->addWidget(b, qMax(1, b->sizePolicy().horizontalStretch()));
    }
    rowsLayout->addLayout(rowLayout);
    rows << buttons;
}

int CatalogView::columnCount(int row) const
{
    return row >= 0 && row < rows.size() ? rows.at(row).size() : 0;
}

QAbstractButton* CatalogView::item(int row, int column) const
{
    if (column < 0 || column >= columnCount(row))
        return nullptr;
    return rows.at(row).at(column);
}

bool CatalogView::findItem(const QAbstractButton* button, int* row, int* column) const
{
    for (int r = 0; r < rows.size(); ++r) {
        const int c = rows.at(r).indexOf(const_cast<QAbstractButton*>(button));
        if (c >= 0) {
            *row = r;
            *column = c;
            return true;
        }
    }
    return false;
}

bool CatalogView::parseRelation(const QString& relation, int* side, bool* bothWays)
{
    static const struct {
        const QString* name;
        int side;
        bool bothWays;
    } relations[] = {
        {&UP, SideUp, false},
        {&DOWN, SideDown, false},
        {&LEFT, SideLeft, false},
        {&RIGHT, SideRight, false},
        {&RECYCLE_UP, SideUp, true},
        {&RECYCLE_DOWN, SideDown, true},
        {&RECYCLE_LEFT, SideLeft, true},
        {&RECYCLE_RIGHT, SideRight, true},
    };
    for (const auto& r : relations) {
        if (*r.name == relation) {
            *side = r.side;
            *bothWays = r.bothWays;
            return true;
        }
    }
    return false;
}

int CatalogView::opposite(int side)
{
    switch (side) {
    case SideUp:
        return SideDown;
    case SideDown:
        return SideUp;
    case SideLeft:
        return SideRight;
    default:
        return SideLeft;
    }
}

void CatalogView::setNeighbor(CatalogView* view, const QString& relation)
{
    int side = 0;
    bool bothWays = false;
    if (!parseRelation(relation, &side, &bothWays)) {
        qWarning() << "CatalogView: unknown neighbour relation" << relation;
        return;
    }
    if (view == this)
        view = nullptr;
    neighbors[side] = view;
    if (!view || !bothWays)
        return;
    // Back the other way, and close the ring where nothing else is linked,
    // so that moving on past the far edge comes round again.
    view->neighbors[opposite(side)] = this;
    if (!view->neighbors[side])
        view->neighbors[side] = this;
    if (!neighbors[opposite(side)])
        neighbors[opposite(side)] = view;
}

CatalogView* CatalogView::neighbor(const QString& side) const
{
    int s = 0;
    bool bothWays = false;
    if (!parseRelation(side, &s, &bothWays))
        return nullptr;
    return neighbors[s];
}

QAbstractButton* CatalogView::focusItem() const
{
    return item(focusRow, focusColumn);
}

void CatalogView::setFocusItem(int row, int column)
{
    QAbstractButton* next = item(row, column);
    QAbstractButton* previous = focusItem();
    if (next == previous)
        return;
    setHighlight(previous, false);
    if (next) {
        focusRow = row;
        focusColumn = column;
        setHighlight(next, true);
    } else {
        focusRow = focusColumn = -1;
    }
    emit focusItemChanged(next);
}

void CatalogView::setFocusItem(QAbstractButton* button)
{
    int row = -1;
    int column = -1;
    if (button && findItem(button, &row, &column))
        setFocusItem(row, column);
    else
        clearFocusItem();
}

void CatalogView::clearFocusItem()
{
    setFocusItem(-1, -1);
}

void CatalogView::setHighlight(QAbstractButton* button, bool on)
{
    if (!button)
        return;
    button->setProperty(FocusProperty, on);
    // Style sheets read dynamic properties only when the widget is polished.
    button->style()->unpolish(button);
    button->style()->polish(button);
    button->update();
}

int CatalogView::centreX(int row, int column) const
{
    const QAbstractButton* b = item(row, column);
    return b->mapTo(window(), b->rect().center()).x();
}

// The column of row whose key lies closest to x (window coordinates). Before
// the view is laid out geometry means nothing, so the position is taken
// proportionally from the column we came from.
int CatalogView::nearestColumn(int row, int x, int fallbackColumn, int fallbackCount) const
{
    const int count = columnCount(row);
    if (count == 0)
        return -1;
    if (!isVisible() || x < 0) {
        if (fallbackCount <= 0)
            return 0;
        return qBound(0, fallbackColumn * count / fallbackCount, count - 1);
    }
    int best = 0;
    int bestDistance = INT_MAX;
    for (int c = 0; c < count; ++c) {
        const int d = qAbs(centreX(row, c) - x);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

// Focus arrives from a neighbour moving towards `side`'s opposite edge.
void CatalogView::enterFrom(int side, int x, int row, int column, int count)
{
    if (rows.isEmpty())
        return;
    switch (side) {
    case SideDown: // came down from above: enter the top row
        setFocusItem(0, nearestColumn(0, x, column, count));
        break;
    case SideUp:
        setFocusItem(rows.size() - 1, nearestColumn(rows.size() - 1, x, column, count));
        break;
    case SideRight:
        setFocusItem(qMin(row, rows.size() - 1), 0);
        break;
    case SideLeft:
        setFocusItem(qMin(row, rows.size() - 1), columnCount(qMin(row, rows.size() - 1)) - 1);
        break;
    }
}

CatalogView* CatalogView::moveFocus(int arrowKey)
{
    if (!focusItem())
        return nullptr;
    int side = 0;
    switch (arrowKey) {
    case Qt::Key_Up:
        side = SideUp;
        break;
    case Qt::Key_Down:
        side = SideDown;
        break;
    case Qt::Key_Left:
        side = SideLeft;
        break;
    case Qt::Key_Right:
        side = SideRight;
        break;
    default:
        return nullptr;
    }

    const int row = focusRow;
    const int column = focusColumn;
    const int count = columnCount(row);
    const int x = isVisible() ? centreX(row, column) : -1;

    if (side == SideLeft && column > 0) {
        setFocusItem(row, column - 1);
        return this;
    }
    if (side == SideRight && column + 1 < count) {
        setFocusItem(row, column + 1);
        return this;
    }
    if (side == SideUp && row > 0) {
        setFocusItem(row - 1, nearestColumn(row - 1, x, column, count));
        return this;
    }
    if (side == SideDown && row + 1 < rows.size()) {
        setFocusItem(row + 1, nearestColumn(row + 1, x, column, count));
        return this;
    }

    // At the edge: into the neighbour on that side, or wrap round.
    CatalogView* next = neighbors[side];
    if (next && !next->rows.isEmpty()) {
        clearFocusItem();
        next->enterFrom(side, x, row, column, count);
        return next;
    }
    switch (side) {
    case SideLeft:
        setFocusItem(row, count - 1);
        break;
    case SideRight:
        setFocusItem(row, 0);
        break;
    case SideUp:
        setFocusItem(rows.size() - 1, nearestColumn(rows.size() - 1, x, column, count));
        break;
    case SideDown:
        setFocusItem(0, nearestColumn(0, x, column, count));
        break;
    }
    return this;
}

} // namespace ui
