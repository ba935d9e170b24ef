#include "utilities/service_select_dialog.h"

#include "browser/screen_watcher.h"
#include "platform/sys/sqlconnection.h"
#include "platform/sys/systemconfig.h"
#include "utilities/okcancelbuttons.h"
#include "utilities/service_selector.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

const char ConnectionName[] = "system_config";
const char DatabaseFile[] = "system_config.db";
const char CreateTable[] = "create table if not exists services (extension text primary key, "
                           "service text, object text, interface text, method text, app text )";
const char CreateIndex[] = "create index if not exists key_index on services (extension) ";

} // namespace

SERVICE_SELECT_DIALOG::SERVICE_SELECT_DIALOG(QWidget* parent)
    : QDialog(parent)
{
    reader.name = QStringLiteral("FBReader");
    editor.name = tr("Text editor");
    office.name = QStringLiteral("Office Reader");
    screenWatcher.watch(this);
    {
        sys::SystemConfig config;
        config.vexaReaderService(reader.service);
        config.writePadService(editor.service);
        config.officeViewerService(office.service);
    }
    // Its own connection under the store's name: the store above is closed.
    db = sys::addSqliteConnection(QLatin1String(ConnectionName));
    db->setDatabaseName(QDir::home().filePath(QLatin1String(DatabaseFile)));
    db->open();
    {
        QSqlQuery query(*db);
        query.exec(QLatin1String(CreateTable));
        query.exec(QLatin1String(CreateIndex));
    }
    selectors[0] = new SERVICE_SELECTOR(this, QStringLiteral("txt"), *db, &reader, &editor, &office);
    selectors[1] = new SERVICE_SELECTOR(this, QStringLiteral("rtf"), *db, &reader);
    selectors[2] = new SERVICE_SELECTOR(this, QStringLiteral("mobi"), *db, &reader);

    auto* grid = new QGridLayout(this);
    grid->addWidget(selectors[0], 0, 0, 3, 1);
    grid->addWidget(selectors[1], 0, 1);
    grid->addWidget(selectors[2], 0, 2);
    grid->addWidget(new QLabel(tr("Device will be rebooted to apply changes"), this), 1, 1, 1, 2);
    grid->addWidget(okCancelButtons(this), 2, 1, 1, 2);
    setWindowTitle(tr("Set additional file-program bindings"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    selectors[0]->setFocus();
}

SERVICE_SELECT_DIALOG::~SERVICE_SELECT_DIALOG()
{
    closeDatabase();
}

void SERVICE_SELECT_DIALOG::save()
{
    if (!db)
        return;
    for (SERVICE_SELECTOR* selector : selectors)
        selector->save(*db);
    closeDatabase();
}

void SERVICE_SELECT_DIALOG::closeDatabase()
{
    sys::removeConnection(db);
}

void SERVICE_SELECT_DIALOG::keyReleaseEvent(QKeyEvent* e)
{
    if (e->key() != Qt::Key_Left && e->key() != Qt::Key_Right) {
        QDialog::keyReleaseEvent(e);
        return;
    }
    int current = 0;
    while (current < 3 && !selectors[current]->hasFocus())
        ++current;
    const int step = e->key() == Qt::Key_Right ? 1 : 2;
    selectors[(current % 3 + step) % 3]->setFocus();
}
