#include "support/modal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QtTest>

namespace {

const int PollMs = 5;

} // namespace

support::ModalDriver::ModalDriver(QList<QMessageBox::StandardButton> answers)
    : answers(std::move(answers))
{
    connect(&timer, &QTimer::timeout, this, &ModalDriver::poll);
    timer.start(PollMs);
}

bool support::ModalDriver::waitSeen(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return seen.size() >= count; }, timeoutMs);
}

void support::ModalDriver::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    // Windows on the stack: the next may have the last one's address.
    if (modal == nullptr || !modal->isVisible() || modal->property("answered").toBool())
        return;
    modal->setProperty("answered", true);
    ModalSeen s;
    s.className = QString::fromLatin1(modal->metaObject()->className());
    s.title = modal->windowTitle();
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box != nullptr)
        s.text = box->text();
    else if (auto* label = modal->findChild<QLabel*>())
        s.text = label->text();
    seen.append(s);
    if (whileOpen)
        whileOpen(modal);
    if (box != nullptr) {
        QAbstractButton* button = answers.isEmpty() ? nullptr : box->button(answers.takeFirst());
        if (button != nullptr)
            button->click();
        else
            box->reject();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        if (!actions.isEmpty())
            actions.takeFirst()(dialog);
        else
            dialog->reject();
    }
}

QTimer* support::whenMenuOpens(const std::function<void(QMenu*)>& inspect)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        inspect(menu);
    });
    poll->start(PollMs);
    return poll;
}
