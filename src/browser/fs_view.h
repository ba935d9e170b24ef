#pragma once

#include "fileops/filedescriptor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QMessageBox>
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
    // current directory (newName replaces the name of a one-entry
    // clipboard), then empties the clipboard. Nothing while one runs.
    void performOperation(OperationKind kind, const QString& newName);
    // True from the start of an operation to its end; it lets events
    // through for its progress line and its prompts, and no command may
    // start another one meanwhile.
    bool operationRunning() const { return operation.running; }
    // What the last operation met: directories and files at every depth,
    // and the bytes of the files.
    struct Totals
    {
        int dirs = 0;
        int files = 0;
        qint64 bytes = 0;
    };
    const Totals& totals() const { return operation.totals; }

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
    // What Copy or Cut armed for Paste.
    OperationKind operationKind = NoOperation;
    QPersistentModelIndex rememberedIndex;
    QList<HistoryEntry> history;
    QList<QProcess*> runningProcesses;

signals:
    // The shown directory after every change, and the progress line of a
    // running operation (the main window shows either as its title).
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
    // Activation of anything but a directory: a kernel file, an archive or a
    // program.
    void activateFile(const QString& path);
    // Activation of a file under /proc or /sys: its text in a window.
    void showSystemFile(const QString& path);
    // Activation of a ZIP archive, once confirmed: unzip into a new directory.
    void extractArchive(const QString& path);
    // Copy and Cut: the selected rows (indexes and paths) for Paste to copy
    // or move.
    void takeClipboard(OperationKind kind);
    QStringList pathsOf(const QModelIndexList& rows) const;
    // Shows why name can't be given to an entry (".", "..", a "/" in it);
    // false when it can.
    bool refuseName(const QString& name);

private:
    // Runs kind over sources into the current directory; the clipboard is
    // left as it is.
    void runOperation(OperationKind kind, const QStringList& sources, const QString& newName);
    // One entry of a walk: a directory with its subtree, or one other item.
    // False stops the whole operation.
    bool processItem(int sourceDir, const QByteArray& name, unsigned char type, int targetDir,
                     const QByteArray& targetName);
    bool processDirectory(int sourceDir, const QByteArray& name, int targetDir,
                          const QByteArray& targetName);
    bool processEntry(int sourceDir, const QByteArray& name, unsigned char type, int targetDir,
                      const QByteArray& targetName);
    // Copies or moves one file or link.
    bool copyFile(int sourceDir, const QByteArray& name, bool link, int targetDir,
                  const QByteArray& targetName);
    // Asks before a target is replaced: true to replace it, false with
    // *go set to whether the operation goes on (No) or stops (Cancel).
    bool confirmOverwrite(int sourceDir, const QByteArray& name, int targetDir,
                          const QByteArray& targetName, bool* go);
    // The sources a move across media has copied in the current directory:
    // their copies are put on the medium, then they go.
    bool removeMovedSources();
    void showProgress(bool transfer, qint64 currentFileBytes);
    // Shows the failure of item with its reason; always false.
    bool reportFailure(const QString& item, const QString& reason);
    bool reportFailure(const QByteArray& item, int error);

    // The owner's answer (a QMessageBox::StandardButton) to the overwrite
    // question, and the failure message: tests put their own in.
    virtual int askOverwrite(const QString& title, const QString& text,
                             QMessageBox::StandardButtons buttons);
    virtual void showFailure(const QString& text);

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

    // The state of one tree operation; only the engine changes it.
    struct Operation
    {
        OperationKind kind = NoOperation;
        bool running = false;
        // The target directory, opened once: a directory that goes away
        // meanwhile is never mistaken for another path.
        FileDescriptor targetDir;
        QString base;
        // Links are left alone on the device's media.
        bool linksLeftAlone = false;
        bool crossMedia = false;
        bool overwriteAll = false;
        int depth = 0;
        Totals totals;
        QElapsedTimer operationClock;
        QElapsedTimer progressClock;
        // Moved across media, waiting for their copies to reach the medium.
        int removalDir = -1;
        int removalTargetDir = -1;
        QList<QByteArray> removals;
        // A program ended while the operation ran: its output waits.
        bool outputWaiting = false;
    } operation;
};
