#pragma once

#include <QHeaderView>

// The list's column header. Qt sizes a section as if its title were bold,
// which loads a second face of the font at start for a header that is never
// drawn bold (its sections are not highlighted, and their widths are set by
// the list): this one measures with the font it draws with.
class ListHeader : public QHeaderView
{
public:
    explicit ListHeader(QWidget* parent);

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
};
