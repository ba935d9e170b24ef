#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

// The remote share's settings record, kept in "/root/lirro/cifs.server" as
// one QMap<QString, QVariant> in Qt's data-stream encoding. A value object:
// each command makes one, loads or defaults it, and drops it.
class CIFSSettings
{
public:
    static constexpr const char* DomainKey = "domain";
    static constexpr const char* ServerKey = "server";
    static constexpr const char* DirListKey = "dir_list";
    static constexpr const char* LoginKey = "login";
    static constexpr const char* PasswordKey = "password";
    static constexpr const char* AnonimousKey = "anonimous";
    static constexpr const char* ServerSyncKey = "server_sync";
    static constexpr const char* ClientSyncKey = "client_sync";

    // Absent keys read as empty, or false.
    QString domain() const { return text(DomainKey); }
    void setDomain(const QString& value) { setText(DomainKey, value); }
    QString server() const { return text(ServerKey); }
    void setServer(const QString& value) { setText(ServerKey, value); }
    // Share names, separated by ':'.
    QString dirList() const { return text(DirListKey); }
    void setDirList(const QString& value) { setText(DirListKey, value); }
    QString login() const { return text(LoginKey); }
    void setLogin(const QString& value) { setText(LoginKey, value); }
    QString password() const { return text(PasswordKey); }
    void setPassword(const QString& value) { setText(PasswordKey, value); }
    bool anonimous() const;
    void setAnonimous(bool value);
    // Directories below the mount root and their partners below the
    // internal flash, separated by ':', paired by position.
    QString serverSync() const { return text(ServerSyncKey); }
    void setServerSync(const QString& value) { setText(ServerSyncKey, value); }
    QString clientSync() const { return text(ClientSyncKey); }
    void setClientSync(const QString& value) { setText(ClientSyncKey, value); }

    // What a device without a settings file starts from.
    void setDefaults();
    const QVariantMap& properties() const { return values; }

    // Replaces the record with the settings file's. A missing, unreadable or
    // damaged file gives an empty record and false; the file is left alone.
    bool load();
    // The whole file at once, readable by its owner only: it holds a
    // password. False when it could not be written (the old file stays).
    bool save() const;

    QByteArray encode() const;
    // Strict: only what save() writes is taken, and nothing is allocated
    // beyond what the bytes hold. False, and an empty record, otherwise.
    bool decode(const QByteArray& data);

    static bool exists();
    // Makes the directory /root/lirro first when it is missing.
    static QString settingsPath();

private:
    QString text(const char* key) const;
    void setText(const char* key, const QString& value);

    QVariantMap values;
};
