#include "calllog.h"

#include <QJsonDocument>

#include <cstdio>

CallLog::CallLog(const QString& path, QObject* parent)
    : QObject(parent)
{
    clock.start();
    if (path.isEmpty()) {
        file.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    } else {
        file.setFileName(path);
        file.open(QIODevice::WriteOnly | QIODevice::Append);
    }
}

void CallLog::write(QJsonObject entry)
{
    entry.insert(QStringLiteral("seq"), ++seq);
    entry.insert(QStringLiteral("ms"), clock.elapsed());
    file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    file.flush();
}
