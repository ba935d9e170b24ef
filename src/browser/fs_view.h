#ifndef LIRRO_BROWSER_FS_VIEW_H
#define LIRRO_BROWSER_FS_VIEW_H

#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTreeView>

class QFileInfo;
class QFormLayout;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QProcess;
class QResizeEvent;
class FS_MODEL;
class DELEGATE;

// What Paste (and the other tree commands) will do; the value indexes
// FS_VIEW::operationTitles.
enum OperationKind : int {
    NoOperation = -1,
    CopyOperation = 0,
    MoveOperation = 1,
    DeleteOperation = 2,
    CountOperation = 3
};

// One directory of the Back ring and the row the user was on when leaving it.
struct HistoryEntry
{
    QString path;
    QPersistentModelIndex index;

    // Only the path identifies an entry.
    bool operator==(const HistoryEntry& other) const { return path == other.path; }
    bool operator!=(const HistoryEntry& other) const { return path != other.path; }
};

// The file list: one directory at a time, the Back ring, Multiselect, the
// local menu of file commands and what activating an entry does.
class FS_VIEW : public QTreeView
{
    Q_OBJECT

public:
    explicit FS_VIEW(QWidget* parent = nullptr);
    ~FS_VIEW() override;

    // The one way to change the shown directory. On success path becomes the
    // canonical path, the process's working directory follows and
    // pathChanged is emitted; false leaves everything as it was.
    bool setDirectory(QString& path);
    bool setDirectory(const QString& path);

    // Whether Paste would copy or move something now.
    bool canPaste() const;

    // Checks and starts a command line in the background; true if it started.
    bool runProgram(const QString& commandLine);
    // The same for a program and its arguments that are already apart (file
    // names that no quoting of a command line could carry).
    bool runProgram(const QStringList& arguments);

    // File operation engine: runs kind over every clipboard entry, into the
    // current directory (newName replaces the name of a one-entry clipboard).
    void performOperation(OperationKind kind, const QString& newName);
    bool processItem(const QFileInfo& item, const QString& target);
    bool copyFile(const QFileInfo& item, const QString& target);
    void showProgress(bool transfer, qint64 currentFileBytes);
    bool reportFailure(const QFileInfo& item);

    // "Copying", "Moving", "Deleting", "Counting", indexed by OperationKind.
    static const char* const operationTitles[4];

    // Hides QAbstractItemView::model(); both name the same FS_MODEL.
    FS_MODEL* model;
    DELEGATE* delegate;
    QDir dir;
    // Persistent, so that entries follow the rows when the list changes
    // between Copy/Cut and Paste, and go invalid when a row disappears.
    QList<QPersistentModelIndex> clipboard;
    // The same entries as paths, taken when Copy or Cut was chosen: a row
    // the model drops or re-lists (after walking elsewhere) leaves its index
    // invalid, while the path keeps naming the file that was chosen. The
    // engine works on these.
    QStringList clipboardPaths;
    bool multiSelect = false;
    OperationKind operationKind = NoOperation;
    QPersistentModelIndex rememberedIndex;
    QList<HistoryEntry> history;
    QList<QProcess*> runningProcesses;

    // Engine state, for the duration of one operation.
    bool overwriteAll = false;
    qint64 bytesDone = 0;
    int fileCount = 0;
    int dirCount = 0;
    QElapsedTimer operationClock;
    QElapsedTimer progressClock;

signals:
    void pathChanged(QString NewPath);

public slots:
    bool actionMenu(QPoint p, QSize s);
    bool actionMenu(QPoint p);
    bool actionMenu();
    void actionRun();
    void actionMkDir();
    void actionHidden(bool show);
    void actionBtnBack();
    void actionBtnMenu();

protected slots:
    void actionCopy();
    void actionCut();
    void actionPaste();
    void actionDelete();
    void actionInfo();
    void actionSetMulti(bool on);
    void actionCopyTo();
    void actionRename();
    void actionEdit();
    void actionView();
    void progFinished();
    void handleItemActivation(QModelIndex index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Common body of "Copy to..." and "Rename...".
    void promptNewName(OperationKind kind, const QString& verb);
    // One label/value row of the Information dialog.
    void addInfoRow(QFormLayout* layout, const char* label, const QString& value);
    // Three permission bits as "rwx " text.
    static QString permissionTriple(int bits);
    // Activation of a file under /proc or /sys: its text in a window.
    void showSystemFile(const QString& path);
    // Activation of a ZIP archive, once confirmed: unzip into a new directory.
    void extractArchive(const QString& path);
    // Fills the clipboard (indexes and paths) with rows.
    void takeClipboard(const QModelIndexList& rows);

private:
    // Shift for the navigation keys while Multiselect is on.
    void translateKey(QKeyEvent* event) const;
    // Puts the cursor on the first row of a newly shown directory while the
    // model lists and sorts it.
    void placeFirstRowCursor();
    void stopPlacingCursor();

    // A newly shown directory still waits for its cursor; cleared by the
    // user's first key or tap and by the Back ring restoring a row.
    bool cursorPending = false;
    // Where the placement last put the cursor (it follows the row as the
    // list is sorted).
    QPersistentModelIndex placedCursor;
};

#endif
