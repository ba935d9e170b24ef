#include "fileops/info_dialog.h"

#include "browser/screen_watcher.h"

#include <QCoreApplication>
#include <QFormLayout>

INFO_DIALOG::INFO_DIALOG(QWidget* parent, QFormLayout* form)
    : QDialog(parent)
{
    // The file list's text, in the file list's translation context.
    setWindowTitle(QCoreApplication::translate("FS_VIEW", "Information on item"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setLayout(form);
    // Without the watcher nothing of the dialog would reach the e-ink panel.
    screenWatcher.watch(this);
}
