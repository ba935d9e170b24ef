#include "share/cifssettings.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QtEndian>

namespace {

const char SettingsDir[] = "/root/lirro";
const char HomeDir[] = "/root";
const char SettingsDirName[] = "lirro";
const char SettingsFile[] = "/root/lirro/cifs.server";

// Any private LAN address; the emulated network's server has this one.
const char DefaultServer[] = "192.168.0.10";
const char DefaultDirList[] = "first_shared_dir:second_shared_dir:Dropbox";
const char DefaultServerSync[] = "first_shared_dir/sync_dir:Dropbox";
const char DefaultClientSync[] = "downloads/sync_dir:downloads/Dropbox";

// QVariant's type ids for the two value types the record holds.
const quint32 BoolType = 1;
const quint32 StringType = 10;
const quint32 NullString = 0xFFFFFFFF;
// Far beyond eight short settings; a larger file is not one of ours.
const qint64 MaxFileSize = 64 * 1024;

// Reads the data stream's fields off a byte array, never past its end.
class Reader
{
public:
    explicit Reader(const QByteArray& data) : data(data) {}

    bool u8(quint8& value)
    {
        if (data.size() - pos < 1)
            return false;
        value = quint8(data.at(pos++));
        return true;
    }

    bool u32(quint32& value)
    {
        if (data.size() - pos < 4)
            return false;
        value = qFromBigEndian<quint32>(data.constData() + pos);
        pos += 4;
        return true;
    }

    bool string(QString& value)
    {
        quint32 bytes = 0;
        if (!u32(bytes))
            return false;
        if (bytes == NullString) {
            value = QString();
            return true;
        }
        if (bytes % 2 != 0 || bytes > quint32(data.size() - pos))
            return false;
        value = QString(int(bytes / 2), Qt::Uninitialized);
        for (int i = 0; i < value.size(); ++i, pos += 2)
            value[i] = QChar(qFromBigEndian<quint16>(data.constData() + pos));
        return true;
    }

private:
    const QByteArray& data;
    int pos = 0;
};

} // namespace

bool CIFSSettings::anonimous() const
{
    return values.value(QLatin1String(AnonimousKey)).toBool();
}

void CIFSSettings::setAnonimous(bool value)
{
    values.insert(QLatin1String(AnonimousKey), value);
}

QString CIFSSettings::text(const char* key) const
{
    return values.value(QLatin1String(key)).toString();
}

void CIFSSettings::setText(const char* key, const QString& value)
{
    // An empty field is stored as an empty string, never as a null one.
    values.insert(QLatin1String(key), value.isNull() ? QStringLiteral("") : value);
}

void CIFSSettings::setDefaults()
{
    setServer(QLatin1String(DefaultServer));
    setDirList(QLatin1String(DefaultDirList));
    setServerSync(QLatin1String(DefaultServerSync));
    setClientSync(QLatin1String(DefaultClientSync));
    setAnonimous(true);
}

bool CIFSSettings::exists()
{
    return QFile::exists(QLatin1String(SettingsFile));
}

QString CIFSSettings::settingsPath()
{
    if (!QFile::exists(QLatin1String(SettingsDir)))
        QDir(QLatin1String(HomeDir)).mkdir(QLatin1String(SettingsDirName));
    return QLatin1String(SettingsFile);
}

bool CIFSSettings::load()
{
    values.clear();
    QFile file(settingsPath());
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return false;
    return decode(file.read(MaxFileSize));
}

bool CIFSSettings::save() const
{
    QSaveFile file(settingsPath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // On the new file, before it takes the old one's place.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray bytes = encode();
    return file.write(bytes) == bytes.size() && file.commit();
}

QByteArray CIFSSettings::encode() const
{
    // Qt's own map encoding: the count, then key and value from the last key
    // to the first; every value here is a bool or a string.
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << values;
    return bytes;
}

bool CIFSSettings::decode(const QByteArray& data)
{
    values.clear();
    Reader in(data);
    quint32 count = 0;
    if (!in.u32(count))
        return false;
    QVariantMap read;
    // Each entry takes at least ten bytes, so a huge count soon runs out.
    for (quint32 i = 0; i < count; ++i) {
        QString key, text;
        quint32 type = 0;
        quint8 isNull = 0, flag = 0;
        if (!in.string(key) || !in.u32(type) || !in.u8(isNull))
            return false;
        if (type == BoolType && in.u8(flag))
            read.insert(key, flag != 0);
        else if (type == StringType && in.string(text))
            read.insert(key, text);
        else
            return false;
    }
    values = read;
    return true;
}
