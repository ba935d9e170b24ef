#ifndef LIRRO_TESTS_BROWSER_VIEWTESTUTIL_H
#define LIRRO_TESTS_BROWSER_VIEWTESTUTIL_H

#include "browser/fs_model.h"
#include "browser/fs_view.h"
#include "browser/menu.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QtTest>

#include <functional>

// The model reads directories in the background: wait until the shown
// directory is fully listed and sorted.
inline bool waitListed(FS_VIEW& view)
{
    const QString path = view.dir.canonicalPath();
    const int expected = QDir(path).entryList(view.model->filter()).size();
    const bool listed = QTest::qWaitFor([&] {
        return view.rootIndex() == view.model->index(path)
               && view.model->rowCount(view.rootIndex()) == expected;
    }, 5000);
    if (!listed) {
        QStringList names;
        for (int r = 0; r < view.model->rowCount(view.rootIndex()); ++r)
            names << view.model->fileName(view.model->index(r, 0, view.rootIndex()));
        qWarning() << "listed" << names << "expected" << QDir(path).entryList(view.model->filter());
    }
    // Sorting follows on a zero timer.
    QTest::qWait(50);
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

// Runs inspect on the next MENU that opens, from inside its modal loop.
// inspect must close the menu (hide it, or choose an entry).
// The returned poll may be deleted to cancel the wait.
inline QTimer* whenMenuOpens(std::function<void(MENU*)> inspect)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        auto* menu = qobject_cast<MENU*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        inspect(menu);
    });
    poll->start();
    return poll;
}

#endif
