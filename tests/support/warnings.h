#pragma once

#include <QStringList>
#include <QtGlobal>

namespace support {

// The warnings logged while it lives, still printed as usual.
class Warnings
{
public:
    Warnings() : previous(qInstallMessageHandler(collect)) { current() = this; }
    ~Warnings()
    {
        qInstallMessageHandler(previous);
        current() = nullptr;
    }

    QStringList lines;

private:
    static Warnings*& current()
    {
        static Warnings* instance = nullptr;
        return instance;
    }
    static void collect(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtWarningMsg)
            current()->lines << text;
        current()->previous(type, context, text);
    }

    QtMessageHandler previous;
};

} // namespace support
