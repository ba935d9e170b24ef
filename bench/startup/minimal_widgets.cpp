// The reference for the start-up benchmark: the least a Qt widgets program
// does to put a window on the device's panel. It shows a maximized window and,
// once it has painted, sends one screen update request.
#include <QApplication>
#include <QByteArray>
#include <QHostAddress>
#include <QPainter>
#include <QTimer>
#include <QUdpSocket>
#include <QWidget>
#include <cstring>

namespace {
constexpr int kCommandSize = 164;
constexpr int kUpdateScreen = 2;
constexpr quint16 kScreenPort = 5678;

class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).drawText(rect(), Qt::AlignCenter, QStringLiteral("/media/flash"));
        if (!sent_) {
            sent_ = true;
            QTimer::singleShot(0, this, [] {
                QByteArray cmd(kCommandSize, '\0');
                qint32 type = kUpdateScreen;
                memcpy(cmd.data(), &type, sizeof type);
                QUdpSocket socket;
                socket.writeDatagram(cmd, QHostAddress::LocalHost, kScreenPort);
            });
        }
    }

private:
    bool sent_ = false;
};
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Window w;
    w.showMaximized();
    return app.exec();
}
