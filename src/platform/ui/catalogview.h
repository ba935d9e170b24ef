#pragma once

#include <QList>
#include <QMap>
#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QVBoxLayout;

namespace ui {

// A grid of buttons with a visible focus that the arrow keys move. Views
// can be linked so that leaving one at an edge enters its neighbour; with
// no neighbour on a side the focus wraps round inside the view.
class CatalogView : public QWidget
{
    Q_OBJECT

public:
    // Neighbour relations for setNeighbor(). The plain ones link one way.
    // The RECYCLE ones also link the neighbour back and, where no other
    // view is linked, close the ring: with two views linked RECYCLE_DOWN the
    // focus cycles through both going down or up.
    static const QString UP;
    static const QString DOWN;
    static const QString LEFT;
    static const QString RIGHT;
    static const QString RECYCLE_UP;
    static const QString RECYCLE_DOWN;
    static const QString RECYCLE_LEFT;
    static const QString RECYCLE_RIGHT;

    // The dynamic property set to true on the button that has the focus,
    // for style sheets: QPushButton[catalogFocus="true"].
    static const char* const FocusProperty;

    explicit CatalogView(QWidget* parent = nullptr);

    // Appends a row; the view takes the buttons as children. A button's
    // horizontal stretch (size policy) sets its width within the row.
    void addRow(const QList<QAbstractButton*>& buttons);
    int rowCount() const { return rows.size(); }
    int columnCount(int row) const;
    QAbstractButton* item(int row, int column) const;
    bool findItem(const QAbstractButton* button, int* row, int* column) const;

    // A null view removes the link on that side.
    void setNeighbor(CatalogView* view, const QString& relation);
    CatalogView* neighbor(const QString& side) const;

    // The focused button; null when the focus is in another view.
    QAbstractButton* focusItem() const;
    void setFocusItem(int row, int column);
    void setFocusItem(QAbstractButton* button);
    void clearFocusItem();

    // Moves the focus one step for Qt::Key_Up, Key_Down, Key_Left or
    // Key_Right; returns the view that holds the focus afterwards (this one
    // or a neighbour), or null for another key or when nothing is focused.
    CatalogView* moveFocus(int arrowKey);

signals:
    void focusItemChanged(QAbstractButton* button);

private:
    enum Side { SideUp = 0, SideDown, SideLeft, SideRight, SideCount };
    static bool parseRelation(const QString& relation, int* side, bool* bothWays);
    static int opposite(int side);
    void setHighlight(QAbstractButton* button, bool on);
    int centreX(int row, int column) const;
    int nearestColumn(int row, int x, int fallbackColumn, int fallbackCount) const;
    void enterFrom(int side, int x, int row, int column, int count);

    QVBoxLayout* rowsLayout;
    QList<QList<QAbstractButton*>> rows;
    QPointer<CatalogView> neighbors[SideCount];
    int focusRow = -1;
    int focusColumn = -1;
};

} // namespace ui
