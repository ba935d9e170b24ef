#pragma once

#include <QDialog>

class SPINBOX;

// "Set time intervals": the idle times before the device suspends and before
// it shuts down, in whole minutes.
class SS_DIALOG : public QDialog
{
    Q_OBJECT

public:
    SS_DIALOG(QWidget* parent, int suspendMs, int shutdownMs);

    // The chosen times in milliseconds.
    void intervals(int& suspendMs, int& shutdownMs) const;

protected:
    void keyReleaseEvent(QKeyEvent* e) override;

private:
    SPINBOX* suspend;
    SPINBOX* shutdown;
};
