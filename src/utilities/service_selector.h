#pragma once

#include <QGroupBox>

struct NamedService;
class QButtonGroup;
class QSqlDatabase;

// The applications offered for one file extension (the group's title), one
// radio button each, the one bound now checked; Up and Down move the check.
class SERVICE_SELECTOR : public QGroupBox
{
    Q_OBJECT

public:
    static const int MaxServices = 6;

    // Offers s1 ... s6 up to the first null one; they are not owned.
    SERVICE_SELECTOR(QWidget* parent, const QString& extension, QSqlDatabase& db,
                     NamedService* s1, NamedService* s2 = nullptr, NamedService* s3 = nullptr,
                     NamedService* s4 = nullptr, NamedService* s5 = nullptr,
                     NamedService* s6 = nullptr);

    // Binds the extension to the checked application.
    bool save(QSqlDatabase& db);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;

private:
    QButtonGroup* group;
    int count = 0;
    NamedService* services[MaxServices] = {};
};
