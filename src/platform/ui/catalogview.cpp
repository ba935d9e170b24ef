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
const char* const CatalogView::FOCUS_PROPERTY = "catalogFocus";

CatalogView::CatalogView(QWidget* parent)
    : QWidget(parent)
    , layout_(new QVBoxLayout(this))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(2);
    setFocusPolicy(Qt::NoFocus);
}

void CatalogView::addRow(const QList<QAbstractButton*>& buttons)
{
    auto* row_layout = new QHBoxLayout;
    row_layout->setContentsMargins(0, 0, 0, 0);
    row_layout->setSpacing(2);
    for (QAbstractButton* b : buttons) {
        b->setParent(this);
        b->setProperty(FOCUS_PROPERTY, false);
        row_layout->addWidget(b, qMax(1, b->sizePolicy().horizontalStretch()));
    }
    layout_->addLayout(row_layout);
    rows_ << buttons;
}

int CatalogView::columnCount(int row) const
{
    return row >= 0 && row < rows_.size() ? rows_.at(row).size() : 0;
}

QAbstractButton* CatalogView::item(int row, int column) const
{
    if (column < 0 || column >= columnCount(row))
        return nullptr;
    return rows_.at(row).at(column);
}

bool CatalogView::findItem(const QAbstractButton* button, int* row, int* column) const
{
    for (int r = 0; r < rows_.size(); ++r) {
        const int c = rows_.at(r).indexOf(const_cast<QAbstractButton*>(button));
        if (c >= 0) {
            *row = r;
            *column = c;
            return true;
        }
    }
    return false;
}

bool CatalogView::parseRelation(const QString& relation, int* side, bool* both_ways)
{
    static const struct {
        const QString* name;
        int side;
        bool both_ways;
    } relations[] = {
        {&UP, SIDE_UP, false},
        {&DOWN, SIDE_DOWN, false},
        {&LEFT, SIDE_LEFT, false},
        {&RIGHT, SIDE_RIGHT, false},
        {&RECYCLE_UP, SIDE_UP, true},
        {&RECYCLE_DOWN, SIDE_DOWN, true},
        {&RECYCLE_LEFT, SIDE_LEFT, true},
        {&RECYCLE_RIGHT, SIDE_RIGHT, true},
    };
    for (const auto& r : relations) {
        if (*r.name == relation) {
            *side = r.side;
            *both_ways = r.both_ways;
            return true;
        }
    }
    return false;
}

int CatalogView::opposite(int side)
{
    switch (side) {
    case SIDE_UP:
        return SIDE_DOWN;
    case SIDE_DOWN:
        return SIDE_UP;
    case SIDE_LEFT:
        return SIDE_RIGHT;
    default:
        return SIDE_LEFT;
    }
}

void CatalogView::setNeighbor(CatalogView* view, const QString& relation)
{
    int side = 0;
    bool both_ways = false;
    if (!parseRelation(relation, &side, &both_ways)) {
        qWarning() << "CatalogView: unknown neighbour relation" << relation;
        return;
    }
    if (view == this)
        view = nullptr;
    neighbors_[side] = view;
    if (!view || !both_ways)
        return;
    // Back the other way, and close the ring where nothing else is linked,
    // so that moving on past the far edge comes round again.
    view->neighbors_[opposite(side)] = this;
    if (!view->neighbors_[side])
        view->neighbors_[side] = this;
    if (!neighbors_[opposite(side)])
        neighbors_[opposite(side)] = view;
}

CatalogView* CatalogView::neighbor(const QString& side) const
{
    int s = 0;
    bool both_ways = false;
    if (!parseRelation(side, &s, &both_ways))
        return nullptr;
    return neighbors_[s];
}

QAbstractButton* CatalogView::focusItem() const
{
    return item(focus_row_, focus_column_);
}

void CatalogView::setFocusItem(int row, int column)
{
    QAbstractButton* next = item(row, column);
    QAbstractButton* previous = focusItem();
    if (next == previous)
        return;
    setHighlight(previous, false);
    if (next) {
        focus_row_ = row;
        focus_column_ = column;
        setHighlight(next, true);
    } else {
        focus_row_ = focus_column_ = -1;
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
    button->setProperty(FOCUS_PROPERTY, on);
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
int CatalogView::nearestColumn(int row, int x, int fallback_column, int fallback_count) const
{
    const int count = columnCount(row);
    if (count == 0)
        return -1;
    if (!isVisible() || x < 0) {
        if (fallback_count <= 0)
            return 0;
        return qBound(0, fallback_column * count / fallback_count, count - 1);
    }
    int best = 0;
    int best_distance = INT_MAX;
    for (int c = 0; c < count; ++c) {
        const int d = qAbs(centreX(row, c) - x);
        if (d < best_distance) {
            best_distance = d;
            best = c;
        }
    }
    return best;
}

// Focus arrives from a neighbour moving towards `side`'s opposite edge.
void CatalogView::enterFrom(int side, int x, int row, int column, int count)
{
    if (rows_.isEmpty())
        return;
    switch (side) {
    case SIDE_DOWN: // came down from above: enter the top row
        setFocusItem(0, nearestColumn(0, x, column, count));
        break;
    case SIDE_UP:
        setFocusItem(rows_.size() - 1, nearestColumn(rows_.size() - 1, x, column, count));
        break;
    case SIDE_RIGHT:
        setFocusItem(qMin(row, rows_.size() - 1), 0);
        break;
    case SIDE_LEFT:
        setFocusItem(qMin(row, rows_.size() - 1), columnCount(qMin(row, rows_.size() - 1)) - 1);
        break;
    }
}

CatalogView* CatalogView::moveFocus(int arrow_key)
{
    if (!focusItem())
        return nullptr;
    int side = 0;
    switch (arrow_key) {
    case Qt::Key_Up:
        side = SIDE_UP;
        break;
    case Qt::Key_Down:
        side = SIDE_DOWN;
        break;
    case Qt::Key_Left:
        side = SIDE_LEFT;
        break;
    case Qt::Key_Right:
        side = SIDE_RIGHT;
        break;
    default:
        return nullptr;
    }

    const int row = focus_row_;
    const int column = focus_column_;
    const int count = columnCount(row);
    const int x = isVisible() ? centreX(row, column) : -1;

    if (side == SIDE_LEFT && column > 0) {
        setFocusItem(row, column - 1);
        return this;
    }
    if (side == SIDE_RIGHT && column + 1 < count) {
        setFocusItem(row, column + 1);
        return this;
    }
    if (side == SIDE_UP && row > 0) {
        setFocusItem(row - 1, nearestColumn(row - 1, x, column, count));
        return this;
    }
    if (side == SIDE_DOWN && row + 1 < rows_.size()) {
        setFocusItem(row + 1, nearestColumn(row + 1, x, column, count));
        return this;
    }

    // At the edge: into the neighbour on that side, or wrap round.
    CatalogView* next = neighbors_[side];
    if (next && !next->rows_.isEmpty()) {
        clearFocusItem();
        next->enterFrom(side, x, row, column, count);
        return next;
    }
    switch (side) {
    case SIDE_LEFT:
        setFocusItem(row, count - 1);
        break;
    case SIDE_RIGHT:
        setFocusItem(row, 0);
        break;
    case SIDE_UP:
        setFocusItem(rows_.size() - 1, nearestColumn(rows_.size() - 1, x, column, count));
        break;
    case SIDE_DOWN:
        setFocusItem(0, nearestColumn(0, x, column, count));
        break;
    }
    return this;
}

} // namespace ui
