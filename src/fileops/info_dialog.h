#pragma once

#include <QDialog>

class QFormLayout;

// "Information on item": the form of label and value rows that the file
// list filled, in a plain dialog that the refresh watcher follows, so it
// reaches the panel when it opens and leaves it when it closes.
class INFO_DIALOG : public QDialog
{
    Q_OBJECT

public:
    // Takes over form (and its widgets).
    INFO_DIALOG(QWidget* parent, QFormLayout* form);
};

