#include "utilities/recentdocuments.h"

#include "browser/messagebox.h"
#include "platform/cms/contentmanager.h"
#include "platform/sys/sysstatus.h"
#include "utilities/devicecommands.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QVector>

namespace utilities {

namespace {

const char ContentDatabase[] = "/root/content.db";
const char Flash[] = "/media/flash";

QString tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

CleanResult cleanRecentDocuments(cms::ContentManager& manager, bool flashOnly)
{
    CleanResult result;
    QVector<qint64> ids;
    if (!manager.recentDocuments(ids)) {
        result.error = manager.lastError();
        return result;
    }
    result.total = ids.size();
    // A member without a record stays a new node (id -1) and is passed
    // over: it is nobody's older copy.
    QVector<cms::ContentNode> nodes(ids.size());
    QVector<QString> paths(ids.size());
    for (int i = 0; i < ids.size(); ++i) {
        if (manager.getContentNode(ids.at(i), nodes[i]))
            paths[i] = nodes.at(i).absolutePath();
    }
    for (int i = 0; i < nodes.size(); ++i) {
        if (nodes.at(i).id == -1)
            continue;
        const QString& path = paths.at(i);
        if (flashOnly && !path.startsWith(QLatin1String(Flash)))
            continue;
        bool remove = !QFileInfo::exists(path);
        for (int j = 0; !remove && j < nodes.size(); ++j) {
            remove = nodes.at(j).id != -1 && paths.at(j) == path
                     && nodes.at(j).lastAccess > nodes.at(i).lastAccess;
        }
        if (!remove)
            continue;
        // Another reader may hold the database: stop at the first refusal
        // rather than wait for it once per entry.
        if (!manager.removeContentNode(nodes[i])) {
            result.error = manager.lastError();
            break;
        }
        ++result.removed;
    }
    return result;
}

void cleanDocs(QWidget* window)
{
    const int answer = showMessageBox(
        window, QMessageBox::Question, tr("Exclude documents on SD-card?"),
        tr("Cleaning these documents can lead to information loss if SD-card is not inserted or "
           "document is placed on another SD-card."),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes && answer != QMessageBox::No)
        return;

    flushWindow(window);
    sys::SysStatus& status = sys::SysStatus::instance();
    status.setSystemBusy(true, true);
    const QString path = QLatin1String(ContentDatabase);
    CleanResult result;
    bool opened = false;
    {
        cms::ContentManager manager;
        // Opening makes a database where there is none: not the owner's wish here.
        opened = QFileInfo(path).isFile() && manager.open(path);
        if (opened)
            result = cleanRecentDocuments(manager, answer == QMessageBox::Yes);
        else
            result.error = QFileInfo::exists(path) ? manager.lastError() : tr("No such file");
    }
    status.setSystemBusy(false, true);

    if (!opened) {
        showMessageBox(window, QMessageBox::Critical, tr("Error!"),
                       tr("Can't open the documents database %1\n%2").arg(path, result.error),
                       QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    QString text = tr("Total number of entries: %1\nNumber of removed entries: %2")
                       .arg(result.total)
                       .arg(result.removed);
    if (result.error.isEmpty()) {
        showMessageBox(window, QMessageBox::Information, tr("'Recent Documents' are cleaned"),
                       text, QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    text += tr("\nThe documents database refused a change, cleaning stopped: %1")
                .arg(result.error);
    showMessageBox(window, QMessageBox::Critical, tr("Error!"), text,
                   QMessageBox::Ok | QMessageBox::Cancel);
}

} // namespace utilities
