#include "utilities/devicescript.h"

#include "browser/messagebox.h"
#include "platform/screen/screenproxy.h"
#include "platform/sys/systemconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSaveFile>

namespace {

const char RebootCommand[] = "reboot";
// Only its owner writes it: it runs with root's rights.
const QFile::Permissions ScriptPermissions = QFile::ReadOwner | QFile::WriteOwner
    | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

} // namespace

bool writeScript(const QString& path, const QString& body)
{
    // /tmp is everyone's: a link planted at path must not lead the write
    // elsewhere, and QSaveFile would write through one.
    QFile::remove(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write((QStringLiteral("#!/bin/sh\n\n") + body + QLatin1Char('\n')).toLocal8Bit());
    return file.commit() && QFile::setPermissions(path, ScriptPermissions);
}

QString shellQuoted(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

void flushWindow(const QWidget* window)
{
    using vexa::screen::ScreenProxy;
    ScreenProxy::instance().flush(window, ScreenProxy::GU, true,
                                  vexa::screen::ScreenCommand::SERVICE_WAIT);
}

bool rebootDevice(QWidget* window, const QString& savedLang)
{
    sys::SystemConfig::restoreLocale(savedLang);
    flushWindow(window);
    if (QProcess::execute(QLatin1String(RebootCommand), {}) == 0)
        return true;
    sys::SystemConfig::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    showMessageBox(window, QMessageBox::Critical,
                   QCoreApplication::translate("MainWindow", "Error!"),
                   QCoreApplication::translate("MainWindow",
                                               "Can't reboot the device; reboot it to apply "
                                               "the changes"),
                   QMessageBox::Ok | QMessageBox::Cancel);
    return false;
}
