#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;

// wpa_supplicant's control interface as its clients see it: a Unix datagram
// socket named after the interface, one request a datagram, the reply sent
// back to the requesting socket, and event messages ("<3>" and the text)
// sent to every client that attached.
class ControlSocket : public QObject
{
    Q_OBJECT

public:
    explicit ControlSocket(QObject* parent = nullptr);
    ~ControlSocket() override;

    bool listen(const QString& path, QString* error);
    void broadcast(const QByteArray& event);

signals:
    // Answer with the reply; ATTACH and DETACH are answered here.
    void request(const QByteArray& command, QByteArray* reply);

private:
    void receive();

    int fd = -1;
    QString path;
    QSocketNotifier* notifier = nullptr;
    // The attached clients' socket addresses.
    QList<QByteArray> monitors;
};
