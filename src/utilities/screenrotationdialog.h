#pragma once

#include "platform/ui/vexadialog.h"

class QKeyEvent;
class QMouseEvent;

namespace ui {

class RotationWidget;

// "Rotate screen": the owner presses an arrow or taps one of the four
// triangles between the dialog's diagonals; the screen turns by that side's
// angle from its current rotation, now and for the next start.
class ScreenRotationDialog : public VexaDialog
{
    Q_OBJECT

public:
    enum Side { NoSide = -1, Top = 0, Bottom = 1, Left = 2, Right = 3 };

    explicit ScreenRotationDialog(QWidget* parent);

    // Shows the dialog, runs it and applies the choice; the dialog's result.
    int popup();

    // The side a tap at (x, y) chooses in a width x height dialog; NoSide on
    // a diagonal.
    static Side sideAt(int x, int y, int width, int height);
    // The screen rotation that choosing side gives from current; -1 for the
    // bottom side, which leaves the screen as it is.
    static int turnedBy(Side side, int current);

    RotationWidget* widget;
    Side side = NoSide;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void choose(Side chosen);
};

} // namespace ui
