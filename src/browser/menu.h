#pragma once

#include <QMenu>

class QPaintEvent;
class QHideEvent;

// Every menu of the program. Its only special behaviour is feeding the active
// entry's outline to the refresh watcher.
class MENU : public QMenu
{
    Q_OBJECT

public:
    explicit MENU(QWidget* parent = nullptr);

public slots:
    void hide();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};
