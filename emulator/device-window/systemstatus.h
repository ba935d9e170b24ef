#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

// What the device's system manager would show: the busy indicator, the SD
// card, Wi-Fi power or connection and the battery. The stand-in's state is
// only reachable on the sandbox's private bus, so the forwarder inside copies
// it into a file (one JSON object, replaced every half second); this reads
// that file.
class SystemStatus : public QObject {
    Q_OBJECT
public:
    explicit SystemStatus(const QString& stateFile, QObject* parent = nullptr);

    // The status line for one state object.
    static QString describe(const QJsonObject& state);
    // The status line for a state file as of `now`; a state older than a few
    // seconds means nobody is answering any more.
    static QString describeFile(const QString& path, const QDateTime& now);

    QString text() const { return currentText; }

public slots:
    void poll();

signals:
    void textChanged(const QString& text);

private:
    QString path;
    QTimer timer;
    QString currentText;
};
