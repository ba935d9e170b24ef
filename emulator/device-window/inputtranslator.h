#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>

// Turns the user's keys and pointer on the panel picture into the device's
// input, as command lines for the forwarder inside the sandbox:
//   key NAME       a device key (X key names: Up Down Left Right Prior Next
//                  Return Escape Menu)
//   press X Y      touch down at panel pixel X, Y
//   move X Y       the touch moved while down
//   release X Y    touch up
//   long X Y       the system manager's long-press signal at X, Y
// A touch held still for a second is a long press, as the device's system
// manager reports it; the touch itself still goes to the program.
class InputTranslator : public QObject {
    Q_OBJECT
public:
    static const int LongPressMs = 1000;
    // Moving farther than this (panel pixels) is a drag, not a long press.
    static const int LongPressSlop = 12;
    // A drag sends at most one move per this many ms: each move is a process
    // start inside the sandbox.
    static const int MoveIntervalMs = 40;

    explicit InputTranslator(QObject* parent = nullptr);

    // The device key for a Qt key, or an empty string when it is none.
    static QString keyName(int qtKey);
    static QString pointCommand(const QString& verb, const QPoint& at);

    // Returns true when the key is a device key (it was forwarded).
    bool key(int qtKey, bool autoRepeat);
    void press(const QPoint& at);
    // A double click arrives instead of the second press.
    void doubleClick(const QPoint& at) { press(at); }
    void move(const QPoint& at);
    void release(const QPoint& at);

signals:
    void command(const QString& line);

private:
    QTimer longPressTimer;
    QTimer moveTimer;
    QPoint pressedAt;
    QPoint movedTo;
    bool pressed = false;
};
