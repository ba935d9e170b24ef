// The reference for the start-up benchmark: the least a Qt widgets program
// does to put a window on the device's panel. It shows a maximized window and,
// once it has painted, sends one screen update request.
#include "screenupdate.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

namespace {

class Window : public QWidget
{
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).drawText(rect(), Qt::AlignCenter, QStringLiteral("/media/flash"));
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    bench::UpdatesAfterFirstPaint<Window> w;
    w.showMaximized();
    return app.exec();
}
