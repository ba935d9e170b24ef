#include "utilities/service_selector.h"

#include "utilities/namedservice.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QRadioButton>
#include <QSqlQuery>
#include <QVBoxLayout>
#include <QVariant>

namespace {

const int FontPointSize = 22;
// The selector the keys work on is the one framed in black.
const char StyleSheet[] =
    "SERVICE_SELECTOR {"
    "    border: 2px solid lightgray;"
    "    margin-top: 1.2em;"
    "}"
    "SERVICE_SELECTOR:focus {"
    "    border: 2px solid black;"
    "}"
    "SERVICE_SELECTOR::title {"
    "    subcontrol-origin: margin;"
    "    left: 6px;"
    "}";
const char SelectService[] = "select service from services where extension = ? ";
const char WriteService[] =
    "insert or replace into services (extension, service, object, interface, method, app)  "
    "values (?, ?, ?, ?, ?, ?)";

} // namespace

SERVICE_SELECTOR::SERVICE_SELECTOR(QWidget* parent, const QString& extension, QSqlDatabase& db,
                                   NamedService* s1, NamedService* s2, NamedService* s3,
                                   NamedService* s4, NamedService* s5, NamedService* s6)
    : QGroupBox(extension, parent)
    , group(new QButtonGroup(this))
    , services{ s1, s2, s3, s4, s5, s6 }
{
    QString current;
    QSqlQuery query(db);
    query.prepare(QLatin1String(SelectService));
    query.addBindValue(extension);
    if (query.exec() && query.next())
        current = query.value(0).toString();

    QFont f = font();
    f.setPointSize(FontPointSize);
    setFont(f);
    auto* layout = new QVBoxLayout(this);
    while (count < MaxServices && services[count] != nullptr) {
        const NamedService* item = services[count];
        auto* button = new QRadioButton(item->name, this);
        button->setFont(f);
        // The keys stay with the selector; a tap still checks.
        button->setFocusPolicy(Qt::NoFocus);
        button->setChecked(item->service.serviceName() == current);
        layout->addWidget(button);
        group->addButton(button, count++);
    }
    if (group->checkedId() < 0 && count > 0)
        group->button(0)->setChecked(true);
    layout->addStretch(1);
    setFocusPolicy(Qt::ClickFocus);
    setStyleSheet(QLatin1String(StyleSheet));
}

bool SERVICE_SELECTOR::save(QSqlDatabase& db)
{
    const int id = group->checkedId();
    if (id < 0 || id >= count)
        return false;
    const sys::Service& service = services[id]->service;
    QSqlQuery query(db);
    query.prepare(QLatin1String(WriteService));
    query.addBindValue(title());
    query.addBindValue(service.serviceName());
    query.addBindValue(service.objectPath());
    query.addBindValue(service.interfaceName());
    query.addBindValue(service.methodName());
    query.addBindValue(service.appName());
    return query.exec();
}

void SERVICE_SELECTOR::keyPressEvent(QKeyEvent* /*e*/)
{
    // The check moves with the release, as the device's keys report them.
}

void SERVICE_SELECTOR::keyReleaseEvent(QKeyEvent* e)
{
    if ((e->key() != Qt::Key_Up && e->key() != Qt::Key_Down) || count == 0) {
        QGroupBox::keyReleaseEvent(e);
        return;
    }
    const int step = e->key() == Qt::Key_Down ? 1 : -1;
    group->button((group->checkedId() + count + step) % count)->setChecked(true);
}
