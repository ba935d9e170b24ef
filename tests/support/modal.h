#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QDialog;
class QMenu;

namespace support {

// What a modal window showed before the driver closed it.
struct ModalSeen
{
    QString className;
    QString title;
    QString text; // a message box's text, or the first label's
};

// Answers every modal window that opens, from inside its own event loop, and
// records what it showed: a message box gets the next of answers (Escape
// when none is left), another dialog the next of actions (rejected when none
// is left). whileOpen runs first, with the window still open.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(QList<QMessageBox::StandardButton> answers = {});

    // Waits until count windows were answered.
    bool waitSeen(int count, int timeoutMs = 10000) const;

    QList<ModalSeen> seen;
    QList<QMessageBox::StandardButton> answers;
    QList<std::function<void(QDialog*)>> actions;
    std::function<void(QWidget*)> whileOpen;

private:
    void poll();

    QTimer timer;
};

// Runs inspect on the next popup menu that opens, from inside its loop;
// inspect must close it (hide it or trigger an entry). Deleting the
// returned timer cancels the wait.
QTimer* whenMenuOpens(const std::function<void(QMenu*)>& inspect);

} // namespace support
