#pragma once

#include <QSpinBox>

// A minute counter stepped only by the keys (Up, Down) or by a tap on one of
// its ends (left up, right down); it wraps around, and 0 reads "disable".
class SPINBOX : public QSpinBox
{
    Q_OBJECT

public:
    // value is bounded to minimum ... maximum.
    SPINBOX(int value, int minimum, int maximum, QWidget* parent);

protected slots:
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
};
