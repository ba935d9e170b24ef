#include "fileops/file_dialog.h"

#include "browser/delegate.h"
#include "browser/panelrefresh.h"
#include "browser/screen_watcher.h"

#include <QEvent>
#include <QKeyEvent>

FILE_DIALOG::FILE_DIALOG(QWidget* parent, const QString& caption, const QString& directory,
                         const QString& filter)
    : QFileDialog(parent, caption, directory, filter)
{
    // A platform's native chooser would have no delegate to replace and
    // would never reach the panel.
    setOption(QFileDialog::DontUseNativeDialog, true);
    screenWatcher.watch(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setItemDelegate(new DELEGATE(this, itemDelegate()));
}

FILE_DIALOG::~FILE_DIALOG()
{
}

bool FILE_DIALOG::event(QEvent* e)
{
    if (e->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Menu) {
        focusNextPrevChild(false);
        e->accept();
        return true;
    }
    return QFileDialog::event(e);
}

QString chooseExistingFile(QWidget* parent, const QString& caption, const QString& directory,
                           const QString& filter, QFileDialog::Options options)
{
    FILE_DIALOG dialog(parent, caption, directory, filter);
    dialog.setOptions(options | QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const int result = dialog.exec();
    repaintAfterDialog();
    if (result != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}
