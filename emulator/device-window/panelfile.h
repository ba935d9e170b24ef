#pragma once

#include <QFileSystemWatcher>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

// The raw panel picture the screen service writes: width * height bytes of
// 8-bit grey, rows top to bottom, replaced atomically on every change.
// Watches the file's directory (the file itself is replaced, so a watch on it
// would be lost) and polls cheaply in case a notification is missed.
class PanelFile : public QObject {
    Q_OBJECT
public:
    PanelFile(const QString& path, const QSize& size, QObject* parent = nullptr);

    static QImage read(const QString& path, const QSize& size, QString* error = nullptr);

    QImage image() const { return picture; }
    QString error() const { return errorText; }

public slots:
    // Reads the file again when it is not the one read last.
    void check();

signals:
    void changed(const QImage& image);
    void errorChanged(const QString& error);

private:
    struct Stamp {
        qint64 inode = -1;
        qint64 size = -1;
        qint64 mtimeNs = -1;
        bool operator==(const Stamp& o) const
        {
            return inode == o.inode && size == o.size && mtimeNs == o.mtimeNs;
        }
    };
    static Stamp stampOf(const QString& path);
    void setError(const QString& error);

    QString filePath;
    QSize pictureSize;
    QFileSystemWatcher watcher;
    QTimer pollTimer;
    Stamp lastStamp;
    bool checked = false;
    QImage picture;
    QString errorText;
};
