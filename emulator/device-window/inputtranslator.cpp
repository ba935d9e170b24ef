#include "inputtranslator.h"

#include <QHash>

InputTranslator::InputTranslator(QObject* parent)
    : QObject(parent)
{
    longPressTimer.setSingleShot(true);
    // Held for at least the full second: a coarse timer may fire 5% early.
    longPressTimer.setTimerType(Qt::PreciseTimer);
    longPressTimer.setInterval(LongPressMs);
    connect(&longPressTimer, &QTimer::timeout, this, [this] {
        if (pressed)
            emit command(pointCommand(QStringLiteral("long"), pressedAt));
    });
    moveTimer.setSingleShot(true);
    moveTimer.setInterval(MoveIntervalMs);
    connect(&moveTimer, &QTimer::timeout, this, [this] {
        if (pressed)
            emit command(pointCommand(QStringLiteral("move"), movedTo));
    });
}

QString InputTranslator::keyName(int qtKey)
{
    // F1 and M stand in for Menu on keyboards that have no Menu key.
    static const QHash<int, QString> keys = {
        {Qt::Key_Up, QStringLiteral("Up")},
        {Qt::Key_Down, QStringLiteral("Down")},
        {Qt::Key_Left, QStringLiteral("Left")},
        {Qt::Key_Right, QStringLiteral("Right")},
        {Qt::Key_PageUp, QStringLiteral("Prior")},
        {Qt::Key_PageDown, QStringLiteral("Next")},
        {Qt::Key_Return, QStringLiteral("Return")},
        {Qt::Key_Enter, QStringLiteral("Return")},
        {Qt::Key_Escape, QStringLiteral("Escape")},
        {Qt::Key_Menu, QStringLiteral("Menu")},
        {Qt::Key_F1, QStringLiteral("Menu")},
        {Qt::Key_M, QStringLiteral("Menu")},
    };
    return keys.value(qtKey);
}

QString InputTranslator::pointCommand(const QString& verb, const QPoint& at)
{
    return QStringLiteral("%1 %2 %3").arg(verb).arg(at.x()).arg(at.y());
}

bool InputTranslator::key(int qtKey, bool autoRepeat)
{
    const QString name = keyName(qtKey);
    if (name.isEmpty())
        return false;
    // The device's keys do not repeat; a held key is one press.
    if (!autoRepeat)
        emit command(QStringLiteral("key ") + name);
    return true;
}

void InputTranslator::press(const QPoint& at)
{
    pressed = true;
    pressedAt = at;
    movedTo = at;
    moveTimer.stop();
    longPressTimer.start();
    emit command(pointCommand(QStringLiteral("press"), at));
}

void InputTranslator::move(const QPoint& at)
{
    if (!pressed || at == movedTo)
        return;
    if ((at - pressedAt).manhattanLength() > LongPressSlop)
        longPressTimer.stop();
    movedTo = at;
    if (!moveTimer.isActive())
        moveTimer.start();
}

void InputTranslator::release(const QPoint& at)
{
    if (!pressed)
        return;
    pressed = false;
    longPressTimer.stop();
    moveTimer.stop();  // the release carries the last position
    emit command(pointCommand(QStringLiteral("release"), at));
}
