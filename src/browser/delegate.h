#pragma once

#include <QAbstractItemDelegate>

// Draws rows through the view's own delegate, without the filled selection;
// the current row gets a thin outline in its first column only, or, during
// the view's adjacent-row repaint, hands that outline to the refresh watcher.
class DELEGATE : public QAbstractItemDelegate
{
    Q_OBJECT

public:
    DELEGATE(QObject* parent, QAbstractItemDelegate* base);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Set by the view for one paint pass only.
    bool fastHighlight = false;
    // Not owned: it stays a child of the view it came from.
    QAbstractItemDelegate* baseDelegate;
};

