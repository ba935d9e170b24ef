#include "screenservice.h"

#include <QFileDevice>
#include <QHostAddress>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QUdpSocket>

ScreenService::ScreenService(QIODevice* log, QObject* parent)
    : QObject(parent)
    , logDevice(log)
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
        const CommandDecoder::Command command = CommandDecoder::decode(datagram.data());
        log(CommandDecoder::toJson(command));
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
