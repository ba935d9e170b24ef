#include "network/wpareplies.h"

#include <QList>

namespace wpa {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The lines after the header, without empty ones.
QList<QByteArray> rows(const QByteArray& reply)
{
    QList<QByteArray> lines = reply.split('\n');
    if (!lines.isEmpty())
        lines.removeFirst();
    lines.removeAll(QByteArray());
    return lines;
}

} // namespace

QByteArray decodeText(const QByteArray& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '\\' || i + 1 >= text.size()) {
            bytes.append(c);
            continue;
        }
        const char e = text.at(++i);
        switch (e) {
        case 'n': bytes.append('\n'); break;
        case 'r': bytes.append('\r'); break;
        case 't': bytes.append('\t'); break;
        case 'e': bytes.append('\033'); break;
        case 'x': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && i + 1 < text.size() && hexDigit(text.at(i + 1)) >= 0) {
                value = value * 16 + hexDigit(text.at(++i));
                ++digits;
            }
            if (digits > 0)
                bytes.append(char(value));
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                int value = e - '0';
                for (int digits = 1; digits < 3 && i + 1 < text.size()
                                     && text.at(i + 1) >= '0' && text.at(i + 1) <= '7'; ++digits)
                    value = value * 8 + (text.at(++i) - '0');
                bytes.append(char(value));
            } else {
                bytes.append(e); // \\ and \" and anything unknown stand for themselves
            }
        }
    }
    return bytes;
}

WifiProfiles parseScanResults(const QByteArray& reply)
{
    WifiProfiles list;
    for (const QByteArray& line : rows(reply)) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 4)
            continue;
        WifiProfile ap;
        ap.setValue(QStringLiteral("bssid"), QString::fromLatin1(fields.at(0)));
        ap.setValue(QStringLiteral("frequency"), fields.at(1).toInt());
        ap.setValue(QStringLiteral("level"), fields.at(2).toInt());
        ap.setValue(QStringLiteral("capabilities"), QString::fromLatin1(fields.at(3)));
        // An SSID holds no raw tab, but take the rest of the line all the same.
        const QByteArray ssid = fields.mid(4).join('\t');
        ap.setValue(QStringLiteral("ssid"), decodeText(ssid));
        ap.setValue(QStringLiteral("qual"), ap.quality());
        ap.setValue(QStringLiteral("wep"), ap.isWep());
        ap.setValue(QStringLiteral("wpa2"), ap.isWpa2());
        ap.setValue(QStringLiteral("encrypted"), ap.isEncrypted());
        list.append(ap);
    }
    return list;
}

WifiProfiles parseNetworkList(const QByteArray& reply)
{
    WifiProfiles list;
    for (const QByteArray& line : rows(reply)) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 3)
            continue;
        WifiProfile network;
        network.setValue(QStringLiteral("id"), fields.at(0).toInt());
        network.setValue(QStringLiteral("ssid"), decodeText(fields.at(1)));
        network.setValue(QStringLiteral("bssid"), QString::fromLatin1(fields.at(2)));
        network.setValue(QStringLiteral("flags"),
                         QString::fromLatin1(fields.value(3)));
        list.append(network);
    }
    return list;
}

QVariantMap parseKeyValues(const QByteArray& reply)
{
    QVariantMap map;
    for (const QByteArray& line : reply.split('\n')) {
        const int equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QString key = QString::fromLatin1(line.left(equals));
        const QByteArray value = line.mid(equals + 1);
        if (key == QLatin1String("ssid"))
            map.insert(key, decodeText(value));
        else
            map.insert(key, QString::fromUtf8(value));
    }
    return map;
}

} // namespace wpa
