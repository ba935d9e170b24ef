#pragma once

#include "platform/ui/keyboarddata.h"

#include <QAbstractButton>
#include <QHash>
#include <QPointer>
#include <QWidget>

class QKeyEvent;
class QPushButton;

namespace ui {

class CatalogView;

// The on-screen keyboard embedded in dialogs. The device has no letter
// keys, so while the keyboard is shown the arrow keys move its visible
// focus and OK (Return or Enter) presses the focused key, whichever widget
// of its window has the keyboard focus; a tap presses a key directly. Each
// pressed key is sent as a key press and release to the receiver: the one
// set with setReceiver(), else the focus widget of the keyboard's window,
// else the keyboard's parent. Its own Enter is Qt::Key_Enter with the text
// KeyboardData::ENTER_TEXT.
class VexaKeyboard : public QWidget
{
    Q_OBJECT

public:
    explicit VexaKeyboard(QWidget* parent = nullptr);
    ~VexaKeyboard() override;

    // Starts afresh: letters page, no shift, the visible focus on the first
    // letter key; gives the keyboard the keyboard focus when nothing in its
    // window has it.
    void initFocus();

    void setReceiver(QWidget* receiver);
    QWidget* receiver() const;

    CatalogView* characterView() const { return characters; }
    CatalogView* controlView() const { return controls; }

    QAbstractButton* focusedKey() const;
    // The character key now showing `character`, or null.
    QAbstractButton* characterKey(const QString& character) const;
    QAbstractButton* controlKey(KeyboardData::KeyKind kind) const;

    KeyboardData::Page page() const { return currentPage; }
    KeyboardData::ShiftState shiftState() const { return shift; }

public slots:
    // Qt::Key_Up, Key_Down, Key_Left or Key_Right; false for other keys.
    bool moveFocus(int arrowKey);
    void pressFocusedKey();
    void pressKey(QAbstractButton* key);

signals:
    // After a key event went out to the receiver.
    void keyClicked(int key, const QString& text);
    void focusedKeyChanged(QAbstractButton* key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPushButton* makeKey();
    void relabel();
    void deliver(int key, const QString& text);
    QWidget* target() const;
    void onKeyFocusChanged(QAbstractButton* key);

    CatalogView* characters;
    CatalogView* controls;
    QHash<QAbstractButton*, KeyboardData::KeyKind> controlKinds;
    QPointer<QWidget> receiverWidget;
    KeyboardData::Page currentPage = KeyboardData::LETTERS;
    KeyboardData::ShiftState shift = KeyboardData::SHIFT_OFF;
    int delivering = 0;
    bool filtering = false;
};

} // namespace ui
