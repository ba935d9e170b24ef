#include "platform/sys/localeconfig.h"

#include "platform/logging.h"

#include <QSaveFile>

#include <clocale>

namespace sys {

namespace {

const char LanguageFile[] = "/root/Settings/language";
const char CodesetSuffix[] = ".UTF-8";
const char ExportPrefix[] = "export LANG=";

} // namespace

QString LocaleConfig::languageFilePath()
{
    return QLatin1String(LanguageFile);
}

QLocale LocaleConfig::localeFromLang(const QString& lang)
{
    return QLocale(lang);
}

QByteArray LocaleConfig::languageFileText(const QLocale& locale)
{
    return ExportPrefix + locale.name().toLatin1() + CodesetSuffix;
}

bool LocaleConfig::setLocale(const QLocale& locale)
{
    QLocale::setDefault(locale);
    const QByteArray name = locale.name().toLatin1() + CodesetSuffix;
    qputenv("LC_ALL", name);
    qputenv("LANG", name);
    std::setlocale(LC_ALL, name.constData());

    // The device reads this file at start; it must never be left half
    // written, so it goes through a temporary file and a rename.
    QSaveFile file(languageFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCWarning(lcConfig, "Could not open %s for writing", LanguageFile);
        return false;
    }
    const QByteArray text = languageFileText(locale);
    file.write(text);
    qCDebug(lcConfig, "Data writting to file %s", text.constData());
    if (!file.commit()) {
        qCWarning(lcConfig, "Could not write %s: %s", LanguageFile,
                  qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace sys
