#pragma once

#include <QStringList>
#include <QtGlobal>

namespace support {

// The warnings logged while it lives, still printed as usual.
class Warnings
{
public:
    Warnings() : previous(qInstallMessageHandler(collect)) { current = this; }
    ~Warnings() { qInstallMessageHandler(previous); current = nullptr; }

    QStringList lines;

private:
    static void collect(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtWarningMsg)
            current->lines << text;
        current->previous(type, context, text);
    }

    static inline Warnings* current = nullptr;
    QtMessageHandler previous;
};

} // namespace support
