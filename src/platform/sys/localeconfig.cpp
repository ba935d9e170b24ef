#include "platform/sys/localeconfig.h"

#include "platform/sys/configtable.h"

#include <QDebug>
#include <QSaveFile>

#include <clocale>

namespace sys {

namespace {
const char CREATE_TABLE[] =
    "create table if not exists locale_conf (key text primary key, value text )";
const char CREATE_INDEX[] =
    "create index if not exists key_index on locale_conf (key) ";

const char LANGUAGE_FILE[] = "/root/Settings/language";
const char CODESET_SUFFIX[] = ".UTF-8";
const char EXPORT_PREFIX[] = "export LANG=";
}

bool LocaleConfig::makeSureTableExist(QSqlDatabase& db)
{
    return ConfigTable::create(db, CREATE_TABLE, CREATE_INDEX);
}

QString LocaleConfig::languageFilePath()
{
    return QLatin1String(LANGUAGE_FILE);
}

QLocale LocaleConfig::localeFromLang(const QString& lang)
{
    return QLocale(lang);
}

QByteArray LocaleConfig::languageFileText(const QLocale& locale)
{
    return EXPORT_PREFIX + locale.name().toLatin1() + CODESET_SUFFIX;
}

bool LocaleConfig::setLocale(const QLocale& locale)
{
    QLocale::setDefault(locale);
    const QByteArray name = locale.name().toLatin1() + CODESET_SUFFIX;
    qputenv("LC_ALL", name);
    qputenv("LANG", name);
    std::setlocale(LC_ALL, name.constData());

    // The device reads this file at start; it must never be left half
    // written, so it goes through a temporary file and a rename.
    QSaveFile file(languageFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning("Could not open %s for writing", LANGUAGE_FILE);
        return false;
    }
    const QByteArray text = languageFileText(locale);
    file.write(text);
    qDebug("Data writting to file %s", text.constData());
    if (!file.commit()) {
        qWarning("Could not write %s: %s", LANGUAGE_FILE,
                 qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace sys
