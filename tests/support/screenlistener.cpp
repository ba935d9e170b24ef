#include "support/screenlistener.h"

#include <QtEndian>

qint32 support::field(const QByteArray& command, int offset)
{
    return offset + 4 <= command.size() ? qFromLittleEndian<qint32>(command.constData() + offset) : -1;
}

QRect support::regionOf(const QByteArray& command)
{
    return QRect(field(command, wire::Left), field(command, wire::Top), field(command, wire::Width),
                 field(command, wire::Height));
}

QByteArray support::makeRecord(const QMap<int, qint32>& fields, char fill)
{
    QByteArray data(wire::CommandSize, fill);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        qToLittleEndian<qint32>(it.value(), data.data() + it.key());
    return data;
}

QByteArray support::ScreenListener::next(int timeoutMs)
{
    if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(timeoutMs))
        return QByteArray();
    QByteArray data(int(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(data.data(), data.size(), &sender, &senderPort);
    return data;
}

QList<QByteArray> support::ScreenListener::takeAll(int settleMs)
{
    QList<QByteArray> all;
    for (QByteArray d = next(settleMs); !d.isNull(); d = next(settleMs))
        all.append(d);
    return all;
}
