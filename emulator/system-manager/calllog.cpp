#include "calllog.h"

#include <QJsonDocument>

#include <cstdio>

CallLog::CallLog(const QString& path, QObject* parent)
    : QObject(parent)
{
    m_clock.start();
    if (path.isEmpty()) {
        m_file.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    } else {
        m_file.setFileName(path);
        m_file.open(QIODevice::WriteOnly | QIODevice::Append);
    }
}

void CallLog::write(QJsonObject entry)
{
    entry.insert(QStringLiteral("seq"), ++m_seq);
    entry.insert(QStringLiteral("ms"), m_clock.elapsed());
    m_file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    m_file.flush();
}
