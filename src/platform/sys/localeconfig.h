#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace sys {

// The device's language. The setting the device reads at its next start is
// the shell fragment in languageFilePath().
class LocaleConfig
{
public:
    // Switches this process to the locale (Qt default, LANG, LC_ALL, C
    // library) and writes "export LANG=<name>.UTF-8" to the language file.
    // True when the file was written; the process is switched either way.
    static bool setLocale(const QLocale& locale);

    // The locale a LANG value such as "ru_RU.UTF-8" stands for; an empty
    // or unknown value gives the "C" locale.
    static QLocale localeFromLang(const QString& lang);

    static QString languageFilePath();
    // What setLocale writes to the language file for locale.
    static QByteArray languageFileText(const QLocale& locale);
};

} // namespace sys
