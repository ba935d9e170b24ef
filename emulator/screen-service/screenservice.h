#pragma once

#include "commanddecoder.h"

#include <QElapsedTimer>
#include <QObject>

class PanelEmulator;
class QIODevice;
class QUdpSocket;

// The UDP side of the stand-in screen service: one JSON line per datagram on
// the log, each command applied to the emulated panel, and an answer to every
// command that asks for one once it is done.
class ScreenService : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 5678;
    // A datagram of exactly these bytes is answered with the panel's figures
    // as one JSON object; it is not a command and is not logged.
    static const char* const StatsRequest;

    // log: an open, writable device; not owned. panel: may be null (log
    // and answer only); not owned.
    explicit ScreenService(QIODevice* log, PanelEmulator* panel = nullptr, QObject* parent = nullptr);

    bool listen(quint16 port, QString* error);

private Q_SLOTS:
    void readDatagrams();

private:
    void log(QJsonObject entry);

    QIODevice* logDevice;
    PanelEmulator* panel;
    QUdpSocket* socket;
    QElapsedTimer clock;
    qint64 seq = 0;
};
