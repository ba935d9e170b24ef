#pragma once

#include "commanddecoder.h"

#include <QElapsedTimer>
#include <QObject>

class QIODevice;
class QUdpSocket;

// The UDP side of the stand-in screen service: one JSON line per datagram on
// the log, and an answer to every command that asks for one once it is done.
class ScreenService : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 DEFAULT_PORT = 5678;

    // log: an open, writable device; not owned.
    explicit ScreenService(QIODevice* log, QObject* parent = nullptr);

    bool listen(quint16 port, QString* error);

private Q_SLOTS:
    void readDatagrams();

private:
    void log(QJsonObject entry);

    QIODevice* logDevice;
    QUdpSocket* socket;
    QElapsedTimer clock;
    qint64 seq = 0;
};
