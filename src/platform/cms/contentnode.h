#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace cms {

// One document as the device's reading applications record it in the
// content database.
class ContentNode
{
public:
    // The document's file: name in location.
    QString absolutePath() const;
    // Back to the state of a new node: id -1, empty texts, zero numbers.
    void clear();

    qint64 id = -1;
    QString name;
    QString location;
    QString title;
    QString authors;
    QString description;
    // In dateFormat(), so that text order is time order.
    QString lastAccess;
    QString publisher;
    QString md5;
    qint64 size = 0;
    int rating = 0;
    int readTime = 0;
    int readCount = 0;
    QString progress;
    QByteArray attributes;
};

} // namespace cms
