#include "browser/messagebox.h"

#include "browser/panelrefresh.h"
#include "browser/screen_watcher.h"

int showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                   const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, parent,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    // Texts carry file names, which must show as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    screenWatcher.watch(&box);
    const int answer = box.exec();
    repaintAfterDialog();
    return answer;
}
