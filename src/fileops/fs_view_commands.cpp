// The file list's file commands and their dialogs.
#include "browser/fs_view.h"

#include "browser/fs_model.h"
#include "browser/messagebox.h"
#include "browser/screen_watcher.h"
#include "fileops/info_dialog.h"
#include "browser/panelrefresh.h"
#include "platform/ui/vexakeyboarddialog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFormLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>

namespace {

const char* const DefaultNewDirName = "NewDir";
// Nothing on the device's media is meant to be run.
const char* const MediaPrefix = "/media/";

// A name for one entry of the shown directory, never a path or a step
// out of it.
bool isPlainName(const QString& name)
{
    return name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString shortDateTime(const QDateTime& time)
{
    return QLocale().toString(time, QLocale::ShortFormat);
}

} // namespace

bool FS_VIEW::refuseName(const QString& name)
{
    if (isPlainName(name))
        return false;
    showMessageBox(this, QMessageBox::Critical, tr("Error!"),
                   tr("\"%1\" is not a name for a file or directory").arg(name),
                   QMessageBox::Ok | QMessageBox::Cancel);
    return true;
}

void FS_VIEW::actionMkDir()
{
    if (operation.running)
        return;
    ui::VexaKeyboardDialog dialog(this, tr("Name for new directory"));
    screenWatcher.watch(&dialog);
    const QString name = dialog.popup(QString::fromLatin1(DefaultNewDirName));
    updateWholeScreen();

    if (!name.isEmpty() && !refuseName(name) && !dir.mkdir(name)) {
        showMessageBox(this, QMessageBox::Critical, tr("Error!"),
                       tr("Directory \"%1\" creation failed").arg(name),
                       QMessageBox::Ok | QMessageBox::Cancel);
    }
    if (currentIndex().isValid())
        rememberedIndex = currentIndex();
}

void FS_VIEW::actionCopy()
{
    takeClipboard(CopyOperation);
}

void FS_VIEW::actionCut()
{
    takeClipboard(MoveOperation);
}

void FS_VIEW::actionPaste()
{
    performOperation(operationKind, QString());
}

void FS_VIEW::actionDelete()
{
    if (operation.running)
        return;
    const QModelIndexList rows = selectionModel()->selectedRows(0);
    const int answer = showMessageBox(
        this, QMessageBox::Question, tr("Deleting files/dirs"),
        tr("You are about to delete %1 item(s).\nAre you sure you want to continue?").arg(rows.size()),
        QMessageBox::Yes | QMessageBox::No);
    // A pending Copy or Cut stays armed whatever the answer.
    if (answer == QMessageBox::Yes)
        runOperation(DeleteOperation, pathsOf(rows), QString());
}

void FS_VIEW::actionInfo()
{
    if (operation.running)
        return;
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const QFileInfo item = model->fileInfo(current);
    auto* form = new QFormLayout;

    addInfoRow(form, QT_TR_NOOP("Name"), item.fileName());

    QString type;
    if (item.isSymLink())
        type += tr("symbolic link to ");
    if (item.isHidden())
        type += tr("hidden ");
    if (item.isExecutable() && !item.filePath().startsWith(QLatin1String(MediaPrefix)) && !item.isDir())
        type += tr("executable ");
    if (item.isDir())
        type += tr("directory");
    else if (item.isFile())
        type += tr("file");
    addInfoRow(form, QT_TR_NOOP("Type"), type);

    if (item.isSymLink())
        addInfoRow(form, QT_TR_NOOP("points to"), item.symLinkTarget());
    if (!item.isSymLink() && item.isFile())
        addInfoRow(form, QT_TR_NOOP("Size"), QLocale::system().toString(item.size()) + QStringLiteral(" bytes"));

    const int bits = int(item.permissions());
    addInfoRow(form, QT_TR_NOOP("Permissions"),
               permissionTriple(bits >> 12) + permissionTriple(bits >> 4) + permissionTriple(bits));
    // Where the file system keeps no birth time, the last status change
    // stands in for it.
    const QDateTime created = item.birthTime().isValid() ? item.birthTime() : item.metadataChangeTime();
    addInfoRow(form, QT_TR_NOOP("Creation time"), shortDateTime(created));
    addInfoRow(form, QT_TR_NOOP("Last modified"), shortDateTime(item.lastModified()));
    addInfoRow(form, QT_TR_NOOP("Last read"), shortDateTime(item.lastRead()));

    const QModelIndexList rows = selectionModel()->selectedRows(0);
    if (item.isDir() || rows.size() >= 2) {
        // Counting leaves a pending Copy or Cut armed.
        runOperation(CountOperation, pathsOf(rows), QString());
        const Totals& counted = operation.totals;
        addInfoRow(form, QT_TR_NOOP("Total size"), QLocale::system().toString(counted.bytes) + QStringLiteral(" bytes"));
        addInfoRow(form, QT_TR_NOOP("in"),
                   QStringLiteral("%1 dirs and %2 files").arg(counted.dirs).arg(counted.files));
    }

    INFO_DIALOG dialog(this, form);
    dialog.exec();
    repaintAfterDialog();
}

void FS_VIEW::actionCopyTo()
{
    promptNewName(CopyOperation, QStringLiteral("Copy"));
}

void FS_VIEW::actionRename()
{
    promptNewName(MoveOperation, QStringLiteral("Rename"));
}

void FS_VIEW::promptNewName(OperationKind kind, const QString& verb)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || operation.running)
        return;
    const QString name = model->fileName(current);

    ui::VexaKeyboardDialog dialog(this, tr("%1 \"%2\" to").arg(verb, name));
    screenWatcher.watch(&dialog);
    const QString result = dialog.popup(name);
    updateWholeScreen();

    if (result.isEmpty() || result == name || refuseName(result))
        return;
    runOperation(kind, QStringList{ model->filePath(current) }, result);
}

void FS_VIEW::addInfoRow(QFormLayout* layout, const char* label, const QString& value)
{
    auto* labelWidget = new QLabel(tr(label) + QStringLiteral(": "));
    labelWidget->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* valueWidget = new QLabel(value);
    // A file name is text, never markup.
    valueWidget->setTextFormat(Qt::PlainText);
    valueWidget->setWordWrap(true);
    layout->addRow(labelWidget, valueWidget);
}

QString FS_VIEW::permissionTriple(int bits)
{
    QString triple;
    triple += (bits & 4) ? QLatin1Char('r') : QLatin1Char('-');
    triple += (bits & 2) ? QLatin1Char('w') : QLatin1Char('-');
    triple += (bits & 1) ? QLatin1Char('x') : QLatin1Char('-');
    triple += QLatin1Char(' ');
    return triple;
}
