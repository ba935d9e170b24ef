#pragma once

#include <QObject>
#include <QString>

// The write end of the forwarder's FIFO: one command per line. Never blocks:
// with no forwarder reading, or one that is stuck, the command is dropped and
// send() says so.
class CommandChannel : public QObject {
    Q_OBJECT
public:
    explicit CommandChannel(const QString& fifoPath, QObject* parent = nullptr);
    ~CommandChannel() override;

    QString path() const { return fifoPath; }

public slots:
    bool send(const QString& line);

private:
    bool open();
    void close();

    QString fifoPath;
    int fd = -1;
};
