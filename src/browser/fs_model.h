#pragma once

#include <QFileSystemModel>

// The file list's model: short dates, "[Folder]" instead of a directory size.
class FS_MODEL : public QFileSystemModel
{
    Q_OBJECT

public:
    explicit FS_MODEL(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

