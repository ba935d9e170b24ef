#include "app/languageguard.h"

#include "platform/sys/localeconfig.h"
#include "platform/sys/systemconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The owner's language while the program runs; gone after a clean end.
const char* const SavedLanguagePath = "/root/lirro/language.saved";

const int CaughtSignals[] = { SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL };

// Made ready at start: a signal handler may only write what is there.
char languageFile[256];
char languageText[128];
size_t languageTextSize = 0;
char savedLanguageFile[256];

extern "C" void restoreOnSignal(int signal)
{
    const int fd = ::open(languageFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        if (::write(fd, languageText, languageTextSize) == ssize_t(languageTextSize))
            ::unlink(savedLanguageFile);
        ::close(fd);
    }
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

void copyInto(char* buffer, size_t size, const QByteArray& text)
{
    std::strncpy(buffer, text.constData(), size - 1);
    buffer[size - 1] = 0;
}

} // namespace

QString LanguageGuard::start(const QString& lang)
{
    QString saved = lang;
    const QString path = QString::fromLatin1(SavedLanguagePath);
    QFile last(path);
    if (last.open(QIODevice::ReadOnly)) {
        saved = QString::fromLatin1(last.readAll().trimmed());
    } else {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(saved.toLatin1()) < 0 || !file.commit())
            qWarning("Could not save the language in %s", SavedLanguagePath);
    }
    const QLocale owner = sys::LocaleConfig::localeFromLang(saved);
    copyInto(languageFile, sizeof languageFile, QFile::encodeName(sys::LocaleConfig::languageFilePath()));
    copyInto(languageText, sizeof languageText, sys::LocaleConfig::languageFileText(owner));
    languageTextSize = std::strlen(languageText);
    copyInto(savedLanguageFile, sizeof savedLanguageFile, SavedLanguagePath);
    for (const int signal : CaughtSignals)
        std::signal(signal, restoreOnSignal);

    sys::SystemConfig::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    return saved;
}

void LanguageGuard::finish()
{
    QFile::remove(QLatin1String(SavedLanguagePath));
}
