#include "screenservice.h"

#include "panelemulator.h"

#include <QFileDevice>
#include <QHostAddress>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QUdpSocket>

const char* const ScreenService::StatsRequest = "STATS?";

ScreenService::ScreenService(QIODevice* log, PanelEmulator* panel, QObject* parent)
    : QObject(parent)
    , logDevice(log)
    , panel(panel)
    , socket(new QUdpSocket(this))
{
    clock.start();
    connect(socket, &QUdpSocket::readyRead, this, &ScreenService::readDatagrams);
}

bool ScreenService::listen(quint16 port, QString* error)
{
    if (socket->bind(QHostAddress(QHostAddress::LocalHost), port))
        return true;
    if (error)
        *error = socket->errorString();
    return false;
}

void ScreenService::readDatagrams()
{
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        if (panel && datagram.data() == StatsRequest) {
            const QByteArray json = QJsonDocument(panel->stats()).toJson(QJsonDocument::Compact);
            socket->writeDatagram(json, datagram.senderAddress(), quint16(datagram.senderPort()));
            continue;
        }
        const CommandDecoder::Command command = CommandDecoder::decode(datagram.data());
        QJsonObject entry = CommandDecoder::toJson(command);
        if (panel && command.valid) {
            // Applied before the answer goes out: a client that waits sees
            // the panel done.
            const PanelEmulator::Effect effect = panel->apply(command);
            entry.insert(QStringLiteral("pixels_updated"), double(effect.panel.changed));
            if (effect.drawn > 0)
                entry.insert(QStringLiteral("pixels_drawn"), double(effect.drawn));
        }
        log(entry);
        if (CommandDecoder::wantsReply(command)) {
            // The client reads the answer back into its command record, so
            // echoing the request leaves that record as it was.
            socket->writeDatagram(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
        }
    }
}

void ScreenService::log(QJsonObject entry)
{
    entry.insert(QStringLiteral("seq"), double(++seq));
    entry.insert(QStringLiteral("ms"), double(clock.elapsed()));
    logDevice->write(QJsonDocument(entry).toJson(QJsonDocument::Compact));
    logDevice->write("\n");
    if (auto* file = qobject_cast<QFileDevice*>(logDevice))
        file->flush();
}
