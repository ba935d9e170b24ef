#include "utilities/devicecommands.h"

#include "browser/messagebox.h"
#include "platform/screen/screenproxy.h"
#include "platform/sys/systemconfig.h"

#include <QCoreApplication>
#include <QLocale>
#include <QProcess>

namespace {

const char RebootCommand[] = "reboot";

} // namespace

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
