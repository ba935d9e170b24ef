#include "inputtranslator.h"

#include <QHash>

InputTranslator::InputTranslator(QObject* parent)
    : QObject(parent)
{
    m_longPress.setSingleShot(true);
    // Held for at least the full second: a coarse timer may fire 5% early.
    m_longPress.setTimerType(Qt::PreciseTimer);
    m_longPress.setInterval(LONG_PRESS_MS);
    connect(&m_longPress, &QTimer::timeout, this, [this] {
        if (m_pressed)
            emit command(pointCommand(QStringLiteral("long"), m_pressedAt));
    });
    m_moveTimer.setSingleShot(true);
    m_moveTimer.setInterval(MOVE_INTERVAL_MS);
    connect(&m_moveTimer, &QTimer::timeout, this, [this] {
        if (m_pressed)
            emit command(pointCommand(QStringLiteral("move"), m_movedTo));
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
    m_pressed = true;
    m_pressedAt = at;
    m_movedTo = at;
    m_moveTimer.stop();
    m_longPress.start();
    emit command(pointCommand(QStringLiteral("press"), at));
}

void InputTranslator::move(const QPoint& at)
{
    if (!m_pressed || at == m_movedTo)
        return;
    if ((at - m_pressedAt).manhattanLength() > LONG_PRESS_SLOP)
        m_longPress.stop();
    m_movedTo = at;
    if (!m_moveTimer.isActive())
        m_moveTimer.start();
}

void InputTranslator::release(const QPoint& at)
{
    if (!m_pressed)
        return;
    m_pressed = false;
    m_longPress.stop();
    m_moveTimer.stop();  // the release carries the last position
    emit command(pointCommand(QStringLiteral("release"), at));
}
