#include "browser/fs_model.h"

#include "browser/fileiconprovider.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

const char* const FolderText = "[Folder]";
const char* const DateFormat = "dd.MM.yy hh:mm";

} // namespace

FS_MODEL::FS_MODEL(QObject* parent)
    : QFileSystemModel(parent)
{
    // One for the whole run: the model's background thread may still ask it
    // while the model is being destroyed.
    static FileIconProvider* const icons = new FileIconProvider;
    setIconProvider(icons);
}

QVariant FS_MODEL::data(const QModelIndex& index, int role) const
{
    if (index.isValid() && index.model() == this) {
        if (role == Qt::DisplayRole && index.column() == 1 && isDir(index))
            return QString::fromLatin1(FolderText);
        if (role == Qt::TextAlignmentRole && index.column() == 1)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::DisplayRole && index.column() == 3)
            return lastModified(index).toString(QString::fromLatin1(DateFormat));
    }
    return QFileSystemModel::data(index, role);
}
