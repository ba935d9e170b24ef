#pragma once

#include <QFileDialog>
#include <QString>

// The program's file chooser: Qt's own (widget) file dialog, followed by the
// refresh watcher, with the list's outline delegate; Menu steps the focus
// back, since the device has no Shift-Tab.
class FILE_DIALOG : public QFileDialog
{
    Q_OBJECT

public:
    FILE_DIALOG(QWidget* parent, const QString& caption, const QString& directory,
                const QString& filter);
    ~FILE_DIALOG() override;

private slots:
    bool event(QEvent* e) override;
};

// One existing file chosen with FILE_DIALOG; empty when cancelled.
QString chooseExistingFile(QWidget* parent, const QString& caption, const QString& directory,
                           const QString& filter, QFileDialog::Options options);

