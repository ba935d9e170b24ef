#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QObject>

// One JSON object per line, numbered and stamped with the milliseconds since
// start, flushed at once so tests can read the log while the service runs.
class CallLog : public QObject
{
    Q_OBJECT

public:
    // An empty path logs to standard error.
    explicit CallLog(const QString& path, QObject* parent = nullptr);

    bool isOpen() const { return file.isOpen(); }
    void write(QJsonObject entry);

private:
    QFile file;
    QElapsedTimer clock;
    qint64 seq = 0;
};
