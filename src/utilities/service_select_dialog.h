#pragma once

#include "utilities/namedservice.h"

#include <QDialog>

class QSqlDatabase;
class SERVICE_SELECTOR;

// "Set additional file-program bindings": which reader opens "txt", "rtf"
// and "mobi" files, as the device's shell reads it from the services table
// of the configuration database.
class SERVICE_SELECT_DIALOG : public QDialog
{
    Q_OBJECT

public:
    explicit SERVICE_SELECT_DIALOG(QWidget* parent);
    ~SERVICE_SELECT_DIALOG() override;

    // Writes the three choices and closes the database.
    void save();

protected:
    void keyReleaseEvent(QKeyEvent* e) override;

private:
    void closeDatabase();

    NamedService reader;
    NamedService editor;
    NamedService office;
    QSqlDatabase* db = nullptr;
    SERVICE_SELECTOR* selectors[3];
};
