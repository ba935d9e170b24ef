#include "systemstatus.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStringList>

namespace {
const int PollMs = 500;
// The forwarder refreshes the file twice a second; older than this, it stopped.
const qint64 StaleMs = 3000;
const char* const Separator = "   ";
}

SystemStatus::SystemStatus(const QString& stateFile, QObject* parent)
    : QObject(parent)
    , path(stateFile)
{
    timer.setInterval(PollMs);
    connect(&timer, &QTimer::timeout, this, &SystemStatus::poll);
    timer.start();
    poll();
}

QString SystemStatus::describe(const QJsonObject& state)
{
    QStringList parts;
    // The indicator shows while the program is busy and asked for it.
    const bool busy = state.value(QLatin1String("busy")).toBool()
        && state.value(QLatin1String("busyIndicator")).toBool();
    parts << (busy ? QStringLiteral("Busy") : QStringLiteral("Ready"));
    parts << (state.value(QLatin1String("sdCard")).toBool() ? QStringLiteral("SD card in")
                                                           : QStringLiteral("No SD card"));
    // The connection as the address command described it: address and network.
    const QString connection = state.value(QLatin1String("connection")).toString();
    if (!connection.isEmpty())
        parts << QStringLiteral("Wi-Fi %1").arg(connection);
    else
        parts << (state.value(QLatin1String("sdio")).toBool() ? QStringLiteral("Wi-Fi on")
                                                             : QStringLiteral("Wi-Fi off"));
    const QJsonValue level = state.value(QLatin1String("batteryLevel"));
    const QJsonValue status = state.value(QLatin1String("batteryStatus"));
    if (level.isDouble()) {
        QString battery = QStringLiteral("Battery %1%").arg(level.toInt());
        if (status.isDouble())
            battery += QStringLiteral(" (status %1)").arg(status.toInt());
        parts << battery;
    } else {
        parts << QStringLiteral("Battery unknown");
    }
    return parts.join(QLatin1String(Separator));
}

QString SystemStatus::describeFile(const QString& path, const QDateTime& now)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("System manager not started");
    const QDateTime written = QFileInfo(file).lastModified();
    if (written.msecsTo(now) > StaleMs)
        return QStringLiteral("System manager not answering");
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return QStringLiteral("System manager state unreadable");
    return describe(doc.object());
}

void SystemStatus::poll()
{
    const QString text = describeFile(path, QDateTime::currentDateTime());
    if (text == currentText)
        return;
    currentText = text;
    emit textChanged(currentText);
}
