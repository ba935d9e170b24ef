#include "browser/fs_view.h"

#include "browser/delegate.h"
#include "browser/fs_model.h"
#include "browser/listheader.h"
#include "browser/menu.h"
#include "browser/messagebox.h"
#include "browser/screen_watcher.h"
#include "platform/sys/sysstatus.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QProcess>
#include <QMouseEvent>
#include <QResizeEvent>

namespace {

const char* const FlashRoot = "/media/flash";
const char* const SdRoot = "/media/sd";

const int FontPointSize = 22;
const int IconSide = 30;

// Sample texts that fix the widths of the size and date columns.
const char* const SizeColumnSample = " 1000 bytes ";
const char* const DateColumnSample = " 99.99.99 99:99 ";

const int NameColumn = 0;
const int SizeColumn = 1;
const int TypeColumn = 2;
const int DateColumn = 3;

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Left:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
        return true;
    default:
        return false;
    }
}

} // namespace

const char* const FS_VIEW::operationTitles[4] = { "Copying", "Moving", "Deleting", "Counting" };

FS_VIEW::FS_VIEW(QWidget* parent)
    : QTreeView(parent)
    , model(new FS_MODEL(this))
    , delegate(nullptr)
    , dir(QStringLiteral("/"))
{
    setHeader(new ListHeader(this));
    QTreeView::setModel(model);
    delegate = new DELEGATE(this, itemDelegate());
    setItemDelegate(delegate);

    QFont f = font();
    f.setPointSize(FontPointSize);
    setFont(f);
    setUniformRowHeights(true);
    QHeaderView* head = header();
    head->setSectionsClickable(true);
    head->setSectionsMovable(false);
    head->setSortIndicator(NameColumn, Qt::AscendingOrder);
    head->setStretchLastSection(false);
    head->setSectionResizeMode(QHeaderView::Fixed);
    setSortingEnabled(true);
    setIconSize(QSize(IconSide, IconSide));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setColumnHidden(TypeColumn, true);

    connect(this, &QAbstractItemView::activated, this, &FS_VIEW::handleItemActivation);
    // Rows arrive and get sorted after a change of directory.
    connect(model, &QAbstractItemModel::layoutChanged, this, &FS_VIEW::placeFirstRowCursor);
    connect(model, &QAbstractItemModel::rowsInserted, this, &FS_VIEW::placeFirstRowCursor);
    connect(&sys::SysStatus::instance(), &sys::SysStatus::mouseLongPress, this,
            qOverload<QPoint, QSize>(&FS_VIEW::actionMenu));

    history.append(HistoryEntry{ QString::fromLatin1(FlashRoot), QPersistentModelIndex() });
    if (sys::SysStatus::instance().isSDMounted())
        history.append(HistoryEntry{ QString::fromLatin1(SdRoot), QPersistentModelIndex() });
}

FS_VIEW::~FS_VIEW()
{
    // Programs still running end with the view. Their finished signal must
    // not reach a view that is half destroyed, as it would when QWidget
    // deletes its children later on.
    for (QProcess* process : qAsConst(runningProcesses)) {
        process->disconnect(this);
        delete process;
    }
    runningProcesses.clear();
}

bool FS_VIEW::setDirectory(const QString& path)
{
    QString canonical = path;
    return setDirectory(canonical);
}

bool FS_VIEW::setDirectory(QString& path)
{
    // Leaving a directory where work was done: remember it with the row the
    // user was on, as the newest entry of the ring.
    if (rememberedIndex.isValid()) {
        if (currentIndex().isValid())
            rememberedIndex = currentIndex();
        const HistoryEntry entry{ dir.canonicalPath(), rememberedIndex };
        history.removeOne(entry);
        history.append(entry);
        rememberedIndex = QPersistentModelIndex();
    }

    if (path == QLatin1String("."))
        return false;
    QDir next(dir);
    if (!next.cd(path))
        return false;
    const QString canonical = next.canonicalPath();
    // A directory that exists but cannot be entered (no search permission)
    // is refused too, instead of showing a list the process can't work in.
    if (canonical.isEmpty() || !QDir::setCurrent(canonical))
        return false;
    dir = next;
    path = canonical;

    model->setRootPath(path);
    QDir::Filters filters = QDir::Dirs | QDir::Files | QDir::Drives | QDir::System
                            | QDir::NoDotAndDotDot;
    if (model->filter().testFlag(QDir::Hidden))
        filters |= QDir::Hidden;
    model->setFilter(filters);
    setRootIndex(model->index(path));

    multiSelect = false;
    clearSelection();
    setSelectionMode(QAbstractItemView::ContiguousSelection);

    // The model lists a directory in the background and sorts it later; the
    // view's own default would leave the cursor on whichever entry arrived
    // first (often the last row once sorted). Keep it on the first row until
    // the user moves.
    cursorPending = true;
    placedCursor = QPersistentModelIndex();
    setCurrentIndex(QModelIndex());
    placeFirstRowCursor();

    emit pathChanged(path);
    return true;
}

void FS_VIEW::placeFirstRowCursor()
{
    if (!cursorPending)
        return;
    // Anything else that put the cursor somewhere (the user, a command) wins.
    if (currentIndex().isValid() && currentIndex() != placedCursor) {
        stopPlacingCursor();
        return;
    }
    const QModelIndex first = model->index(0, NameColumn, rootIndex());
    if (first.isValid() && selectionModel() != nullptr) {
        selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        placedCursor = first;
    }
}

void FS_VIEW::stopPlacingCursor()
{
    cursorPending = false;
    // A persistent index keeps its row listed even when the filter drops it.
    placedCursor = QPersistentModelIndex();
}

bool FS_VIEW::actionMenu(QPoint p, QSize s)
{
    Q_UNUSED(s);
    // A long press while an operation runs: taken, and nothing opens.
    if (operation.running)
        return true;
    if (selectionModel() == nullptr || !selectionModel()->hasSelection())
        return false;

    if (p.isNull()) {
        const QRect r = visualRect(currentIndex());
        p = viewport()->mapToGlobal(QPoint(r.left() + r.height(), r.bottom()));
    }

    // The entries are the device's own texts and stay untranslated.
    MENU menu(this);
    QAction* copy = menu.addAction(QStringLiteral("Copy"), this, &FS_VIEW::actionCopy);
    menu.addAction(QStringLiteral("Cut"), this, &FS_VIEW::actionCut);
    QAction* paste = menu.addAction(QStringLiteral("Paste"), this, &FS_VIEW::actionPaste);
    menu.addAction(QStringLiteral("Delete"), this, &FS_VIEW::actionDelete);
    menu.addAction(QStringLiteral("Info"), this, &FS_VIEW::actionInfo);
    QAction* multi = menu.addAction(QStringLiteral("Multiselect"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Copy to..."), this, &FS_VIEW::actionCopyTo);
    menu.addAction(QStringLiteral("Rename..."), this, &FS_VIEW::actionRename);
    menu.addAction(QStringLiteral("Edit"), this, &FS_VIEW::actionEdit);
    menu.addAction(QStringLiteral("View"), this, &FS_VIEW::actionView);

    paste->setEnabled(canPaste());
    multi->setCheckable(true);
    multi->setChecked(multiSelect);
    connect(multi, &QAction::toggled, this, &FS_VIEW::actionSetMulti);

    menu.setActiveAction(copy);
    if (menu.exec(p, copy) != nullptr && currentIndex().isValid())
        rememberedIndex = currentIndex();
    return true;
}

bool FS_VIEW::canPaste() const
{
    return !clipboardPaths.isEmpty() && !operation.running
           && (operationKind == CopyOperation || operationKind == MoveOperation);
}

bool FS_VIEW::actionMenu(QPoint p)
{
    return actionMenu(p, QSize());
}

bool FS_VIEW::actionMenu()
{
    return actionMenu(QPoint(0, 0), QSize());
}

void FS_VIEW::actionHidden(bool show)
{
    // The model keeps every row that a persistent index points at, so a
    // selected or current hidden entry would stay listed: let go of them
    // before filtering.
    clearSelection();
    stopPlacingCursor();
    if (!show && currentIndex().isValid() && model->fileInfo(currentIndex()).isHidden())
        setCurrentIndex(QModelIndex()); // also drops the view's selection anchor

    QDir::Filters filters = model->filter();
    if (show)
        filters |= QDir::Hidden;
    else
        filters &= ~QDir::Filters(QDir::Hidden);
    model->setFilter(filters);
}

void FS_VIEW::actionBtnBack()
{
    if (history.isEmpty())
        return;
    const HistoryEntry entry = history.takeLast();
    QString path = entry.path;
    // A directory that can no longer be entered drops out of the ring.
    if (!setDirectory(path))
        return;
    if (entry.index.isValid()) {
        stopPlacingCursor();
        setCurrentIndex(entry.index);
    }
    if (!history.contains(entry))
        history.prepend(entry);
}

void FS_VIEW::actionBtnMenu()
{
    actionMenu();
}

void FS_VIEW::actionSetMulti(bool on)
{
    multiSelect = on;
}

void FS_VIEW::handleItemActivation(QModelIndex index)
{
    if (!index.isValid() || operation.running)
        return;
    const QFileInfo info = model->fileInfo(index);
    QString path = info.canonicalFilePath();
    if (info.isDir()) {
        setDirectory(path);
        return;
    }
    // A link that leads nowhere still has a name to report.
    activateFile(path.isEmpty() ? info.absoluteFilePath() : path);
}

void FS_VIEW::translateKey(QKeyEvent* event) const
{
    // With the contiguous selection mode, Shift extends the selection from
    // the anchor row: that is how Multiselect picks a run of rows.
    if (multiSelect && isNavigationKey(event->key()))
        event->setModifiers(Qt::ShiftModifier);
}

void FS_VIEW::keyPressEvent(QKeyEvent* event)
{
    // The first Down or Up in a newly shown directory selects the row the
    // cursor sits on, so that a directory of one entry can be worked on.
    const int key = event->key();
    if (cursorPending && (key == Qt::Key_Down || key == Qt::Key_Up)
        && !selectionModel()->hasSelection() && currentIndex().isValid()) {
        stopPlacingCursor();
        setCurrentIndex(currentIndex());
        return;
    }
    // Keys the list passes on (Back, Menu) don't move the cursor.
    if (key != Qt::Key_Escape && key != Qt::Key_Menu)
        stopPlacingCursor();
    translateKey(event);
    QTreeView::keyPressEvent(event);
}

void FS_VIEW::mousePressEvent(QMouseEvent* event)
{
    stopPlacingCursor();
    QTreeView::mousePressEvent(event);
}

void FS_VIEW::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Left) {
        actionBtnBack();
        return;
    }
    translateKey(event);
    // Ignored here, so Right, Menu and Escape reach the main window.
    QWidget::keyReleaseEvent(event);
}

void FS_VIEW::paintEvent(QPaintEvent* event)
{
    // The repaint of two adjacent rows away from the top is the cursor
    // moving by one row: its outline goes to the panel through the watcher.
    const QRect r = event->rect();
    delegate->fastHighlight = r.height() == 2 * sizeHintForRow(0) && r.top() != 0;
    // Any other repaint draws the cursor's frame itself. An outline still
    // waiting from an earlier step (keys faster than the panel's tick) would
    // land on a row the list has since painted over, in another directory.
    const QRect pending = screenWatcher.highlightRect.translated(-viewport()->mapToGlobal(QPoint(0, 0)));
    if (!delegate->fastHighlight && event->region().intersects(pending))
        screenWatcher.highlightRect = QRect();
    QTreeView::paintEvent(event);
    delegate->fastHighlight = false;
}

void FS_VIEW::resizeEvent(QResizeEvent* event)
{
    // Called for the view and for its viewport (a scroll area forwards the
    // viewport's resizes here); the columns fill the viewport, so the list
    // never needs a horizontal scroll bar.
    QTreeView::resizeEvent(event);
    const QFontMetrics metrics(font());
    const int sizeWidth = metrics.horizontalAdvance(QString::fromLatin1(SizeColumnSample));
    const int dateWidth = metrics.horizontalAdvance(QString::fromLatin1(DateColumnSample));
    setColumnWidth(SizeColumn, sizeWidth);
    setColumnHidden(TypeColumn, true);
    setColumnWidth(DateColumn, dateWidth);
    setColumnWidth(NameColumn, viewport()->width() - sizeWidth - dateWidth);
}
