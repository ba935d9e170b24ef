#pragma once

// For tests that link lirro_core: a file list with its command slots in
// reach, and waits for what the model does in the background.

#include "browser/fs_model.h"
#include "browser/fs_view.h"

#include <QDir>
#include <QHeaderView>
#include <QtTest>

namespace support {

// Reaches the view's protected command slots and helpers.
class TestView : public FS_VIEW
{
public:
    using FS_VIEW::actionCopy;
    using FS_VIEW::actionCopyTo;
    using FS_VIEW::actionCut;
    using FS_VIEW::actionDelete;
    using FS_VIEW::actionEdit;
    using FS_VIEW::actionInfo;
    using FS_VIEW::actionPaste;
    using FS_VIEW::actionRename;
    using FS_VIEW::actionView;
    using FS_VIEW::handleItemActivation;
};

// The model lists a directory in the background and sorts it on a zero
// timer: wait until every entry is listed, then sort now as the view would.
inline bool waitListed(FS_VIEW& view)
{
    const QString path = view.dir.canonicalPath();
    const int expected = QDir(path).entryList(view.model->filter()).size();
    const bool listed = QTest::qWaitFor([&] {
        return view.rootIndex() == view.model->index(path)
               && view.model->rowCount(view.rootIndex()) == expected;
    }, 10000);
    view.sortByColumn(view.header()->sortIndicatorSection(), view.header()->sortIndicatorOrder());
    return listed;
}

inline bool showDirectory(FS_VIEW& view, const QString& path)
{
    return view.setDirectory(path) && waitListed(view);
}

inline QModelIndex rowIndex(FS_VIEW& view, int row)
{
    return view.model->index(row, 0, view.rootIndex());
}

inline QModelIndex indexOf(FS_VIEW& view, const QString& name)
{
    return view.model->index(view.dir.canonicalPath() + QLatin1Char('/') + name);
}

} // namespace support
