#include "utilities/screenrotationdialog.h"

#include "platform/screen/screenproxy.h"
#include "platform/sys/sysstatus.h"
#include "utilities/rotationwidget.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace ui {

namespace {

const char* const Title = "Screen Rotation";

} // namespace

ScreenRotationDialog::ScreenRotationDialog(QWidget* parent)
    : VexaDialog(parent, true)
    , widget(new RotationWidget(this))
{
    updateTitle(QApplication::translate("QApplication", Title));
    vbox()->addWidget(widget);
    vbox()->addStretch();
    // Just round the drawing and the title bar: a 252-pixel square would
    // cut the lower label off below the toolkit's title bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setModal(true);
}

ScreenRotationDialog::Side ScreenRotationDialog::sideAt(int x, int y, int width, int height)
{
    // The rising diagonal's height at x.
    const int d = height - (x * height) / width;
    if (x < y) {
        if (y < d)
            return Left;
        if (y > d)
            return Bottom;
    } else if (x > y) {
        if (y < d)
            return Top;
        if (y > d)
            return Right;
    }
    return NoSide;
}

int ScreenRotationDialog::turnedBy(Side side, int current)
{
    switch (side) {
    case Top:
        return (current + 180) % 360;
    case Left:
        return (current + 270) % 360;
    case Right:
        return (current + 90) % 360;
    default:
        return -1;
    }
}

int ScreenRotationDialog::popup()
{
    using vexa::screen::ScreenCommand;
    using vexa::screen::ScreenProxy;
    const auto wait = ScreenCommand::WaitMode(ScreenCommand::SERVICE_WAIT | ScreenCommand::REPLY_WAIT);

    show();
    ScreenProxy::instance().flush(nullptr, ScreenProxy::GC, true, wait);
    // A key pressed while the flash was on its way has answered already.
    const int result = isVisible() ? exec() : this->result();
    if (result != QDialog::Accepted)
        return result;
    ScreenProxy::instance().flush(nullptr, ScreenProxy::GU, true, wait);

    sys::SysStatus& status = sys::SysStatus::instance();
    const int degree = turnedBy(side, status.screenTransformation());
    if (degree >= 0)
        status.setScreenTransformation(degree);
    return result;
}

void ScreenRotationDialog::choose(Side chosen)
{
    side = chosen;
    accept();
}

void ScreenRotationDialog::keyPressEvent(QKeyEvent* event)
{
    event->accept();
}

void ScreenRotationDialog::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    switch (event->key()) {
    case Qt::Key_Up:
        choose(Top);
        break;
    case Qt::Key_Down:
        choose(Bottom);
        break;
    case Qt::Key_Left:
        choose(Left);
        break;
    case Qt::Key_Right:
        choose(Right);
        break;
    case Qt::Key_Escape:
        reject();
        break;
    default:
        break;
    }
}

void ScreenRotationDialog::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void ScreenRotationDialog::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    const Side tapped = sideAt(event->x(), event->y(), width(), height());
    if (tapped != NoSide)
        choose(tapped);
}

} // namespace ui
