#include "utilities/spinbox.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace {

const int FontPointSize = 24;
// The main window's style sheet draws an arrow this wide at each end, and
// Qt still keeps the room of its usual pair of arrows off the text.
const int ArrowWidth = 36;
const int ArrowRooms = 4;

} // namespace

SPINBOX::SPINBOX(int value, int minimum, int maximum, QWidget* parent)
    : QSpinBox(parent)
{
    setRange(minimum, maximum);
    setSingleStep(1);
    setWrapping(true);
    // Read-only text, not a read-only box: the ends must still step it.
    lineEdit()->setReadOnly(true);
    setSpecialValueText(tr("disable"));
    setSuffix(tr(" min"));
    QFont f = font();
    f.setPointSize(FontPointSize);
    setFont(f);
    setAlignment(Qt::AlignHCenter);
    // Room for the widest text between the arrows; Qt's own measure leaves
    // the style sheet's arrows out.
    const QFontMetrics metrics(f);
    const int text = qMax(metrics.horizontalAdvance(specialValueText()),
                          metrics.horizontalAdvance(QString::number(maximum) + suffix()));
    setMinimumWidth(text + ArrowRooms * ArrowWidth);
    setFocusPolicy(Qt::StrongFocus);
    setValue(qBound(minimum, value, maximum));
}

void SPINBOX::keyPressEvent(QKeyEvent* /*e*/)
{
    // Steps come with the release, as the device's keys report them.
}

void SPINBOX::keyReleaseEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
        stepBy(e->key() == Qt::Key_Up ? 1 : -1);
        e->accept();
        return;
    }
    // Left and Right belong to the dialog.
    e->ignore();
}

void SPINBOX::mousePressEvent(QMouseEvent* e)
{
    // The style sheet draws the up arrow in the left square and the down
    // arrow in the right one.
    const int h = height();
    const bool up = QRect(0, 0, h, h).contains(e->pos());
    const bool down = QRect(width() - h, 0, h, h).contains(e->pos());
    if (!up && !down) {
        QSpinBox::mousePressEvent(e);
        return;
    }
    stepBy(int(up) - int(down));
    e->accept();
}
