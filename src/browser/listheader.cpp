#include "browser/listheader.h"

#include <QStyle>
#include <QStyleOptionHeader>

ListHeader::ListHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    // As the tree view's own header.
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QSize ListHeader::sectionSizeFromContents(int logicalIndex) const
{
    ensurePolished();
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.section = logicalIndex;
    option.fontMetrics = fontMetrics();
    if (model())
        option.text = model()->headerData(logicalIndex, orientation()).toString();
    if (isSortIndicatorShown())
        option.sortIndicator = QStyleOptionHeader::SortDown;
    return style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
}
