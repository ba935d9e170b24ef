#include "platform/ui/vexakeyboard.h"

#include "platform/ui/catalogview.h"
#include "platform/ui/vexadialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

namespace {

// Where each key keeps the character it types (its label escapes '&').
const char* const CharacterProperty = "keyCharacter";

// Black on white for the panel; the focused key inverted, a locked or
// pending shift drawn with a heavy border. Keys take no minimum width from
// the window's style (the program's buttons are 140 px wide), so ten keys
// fit a row of the 600 px screen.
const char* const KeyboardStyle =
    "QPushButton { background: white; color: black; border: 1px solid black; padding: 2px; min-width: 0px; }"
    "QPushButton:checked { border: 3px solid black; }"
    "QPushButton[catalogFocus=\"true\"] { background: black; color: white; }";

} // namespace

VexaKeyboard::VexaKeyboard(QWidget* parent)
    : QWidget(parent)
    , characters(new CatalogView(this))
    , controls(new CatalogView(this))
{
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QString::fromLatin1(KeyboardStyle));

    for (int r = 0; r < KeyboardData::rowCount(); ++r) {
        QList<QAbstractButton*> row;
        for (int c = 0; c < KeyboardData::columnCount(); ++c)
            row << makeKey();
        characters->addRow(row);
    }

    QList<QAbstractButton*> controlRow;
    for (const KeyboardData::ControlKey& k : KeyboardData::controlKeys()) {
        QPushButton* b = makeKey();
        QSizePolicy policy = b->sizePolicy();
        policy.setHorizontalStretch(k.stretch);
        b->setSizePolicy(policy);
        b->setCheckable(k.kind == KeyboardData::SHIFT);
        controlKinds.insert(b, k.kind);
        controlRow << b;
    }
    controls->addRow(controlRow);
    characters->setNeighbor(controls, CatalogView::RECYCLE_DOWN);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(characters);
    layout->addWidget(controls);

    connect(characters, &CatalogView::focusItemChanged, this, &VexaKeyboard::onKeyFocusChanged);
    connect(controls, &CatalogView::focusItemChanged, this, &VexaKeyboard::onKeyFocusChanged);

    relabel();
}

VexaKeyboard::~VexaKeyboard()
{
    if (filtering)
        qApp->removeEventFilter(this);
}

QPushButton* VexaKeyboard::makeKey()
{
    auto* b = new QPushButton(this);
    // Keys never take the focus from the field being typed into.
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    b->setMinimumHeight(VexaDialog::defaultItemHeight());
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(b, &QPushButton::clicked, this, [this, b]() { pressKey(b); });
    return b;
}

void VexaKeyboard::relabel()
{
    const QList<QStringList> rows = KeyboardData::rows(currentPage, shift != KeyboardData::SHIFT_OFF);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size(); ++c) {
            QAbstractButton* b = characters->item(r, c);
            const QString ch = rows.at(r).at(c);
            b->setProperty(CharacterProperty, ch);
            b->setText(QString(ch).replace(QLatin1Char('&'), QLatin1String("&&")));
        }
    }
    for (auto it = controlKinds.cbegin(); it != controlKinds.cend(); ++it) {
        it.key()->setText(KeyboardData::controlLabel(it.value(), currentPage, shift));
        if (it.value() == KeyboardData::SHIFT) {
            it.key()->setChecked(shift != KeyboardData::SHIFT_OFF);
            it.key()->setEnabled(currentPage == KeyboardData::LETTERS);
        }
    }
}

void VexaKeyboard::initFocus()
{
    if (currentPage != KeyboardData::LETTERS || shift != KeyboardData::SHIFT_OFF) {
        currentPage = KeyboardData::LETTERS;
        shift = KeyboardData::SHIFT_OFF;
        relabel();
    }
    QAbstractButton* first = nullptr;
    for (int r = 0; r < characters->rowCount() && !first; ++r) {
        for (int c = 0; c < characters->columnCount(r); ++c) {
            const QString ch = characters->item(r, c)->property(CharacterProperty).toString();
            if (!ch.isEmpty() && ch.at(0).isLetter()) {
                first = characters->item(r, c);
                break;
            }
        }
    }
    controls->clearFocusItem();
    characters->setFocusItem(first);
    if (!window()->focusWidget())
        setFocus(Qt::OtherFocusReason);
}

void VexaKeyboard::setReceiver(QWidget* receiver)
{
    receiverWidget = receiver;
}

QWidget* VexaKeyboard::receiver() const
{
    return receiverWidget;
}

QAbstractButton* VexaKeyboard::focusedKey() const
{
    if (QAbstractButton* b = characters->focusItem())
        return b;
    return controls->focusItem();
}

QAbstractButton* VexaKeyboard::characterKey(const QString& character) const
{
    for (int r = 0; r < characters->rowCount(); ++r) {
        for (int c = 0; c < characters->columnCount(r); ++c) {
            QAbstractButton* b = characters->item(r, c);
            if (b->property(CharacterProperty).toString() == character)
                return b;
        }
    }
    return nullptr;
}

QAbstractButton* VexaKeyboard::controlKey(KeyboardData::KeyKind kind) const
{
    for (auto it = controlKinds.cbegin(); it != controlKinds.cend(); ++it) {
        if (it.value() == kind)
            return it.key();
    }
    return nullptr;
}

bool VexaKeyboard::moveFocus(int arrowKey)
{
    if (arrowKey != Qt::Key_Up && arrowKey != Qt::Key_Down && arrowKey != Qt::Key_Left
        && arrowKey != Qt::Key_Right)
        return false;
    if (!focusedKey()) {
        initFocus();
        return true;
    }
    CatalogView* view = characters->focusItem() ? characters : controls;
    view->moveFocus(arrowKey);
    return true;
}

void VexaKeyboard::pressFocusedKey()
{
    if (QAbstractButton* b = focusedKey())
        pressKey(b);
}

void VexaKeyboard::pressKey(QAbstractButton* key)
{
    if (!key || !key->isEnabled())
        return;
    // A tap also moves the visible focus to the key, as if walked to.
    const bool isCharacter = !controlKinds.contains(key);
    if (isCharacter) {
        if (characters->focusItem() != key) {
            controls->clearFocusItem();
            characters->setFocusItem(key);
        }
        const QString ch = key->property(CharacterProperty).toString();
        if (shift == KeyboardData::SHIFT_ONCE) {
            shift = KeyboardData::SHIFT_OFF;
            relabel();
        }
        deliver(KeyboardData::keyCode(KeyboardData::CHARACTER, ch),
                KeyboardData::keyText(KeyboardData::CHARACTER, ch));
        return;
    }

    if (controls->focusItem() != key) {
        characters->clearFocusItem();
        controls->setFocusItem(key);
    }
    const KeyboardData::KeyKind kind = controlKinds.value(key);
    switch (kind) {
    case KeyboardData::SHIFT:
        shift = KeyboardData::ShiftState((shift + 1) % 3);
        relabel();
        break;
    case KeyboardData::PAGE:
        currentPage = currentPage == KeyboardData::LETTERS ? KeyboardData::SYMBOLS : KeyboardData::LETTERS;
        shift = KeyboardData::SHIFT_OFF;
        relabel();
        break;
    default:
        deliver(KeyboardData::keyCode(kind), KeyboardData::keyText(kind));
        break;
    }
}

QWidget* VexaKeyboard::target() const
{
    if (receiverWidget)
        return receiverWidget;
    QWidget* focus = window()->focusWidget();
    if (focus && focus != this && !isAncestorOf(focus))
        return focus;
    return parentWidget();
}

void VexaKeyboard::deliver(int key, const QString& text)
{
    QPointer<QWidget> to = target();
    if (!to)
        return;
    QPointer<VexaKeyboard> self(this);
    ++delivering;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    if (to) {
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(to, &release);
    }
    if (!self)
        return;
    --delivering;
    emit keyClicked(key, text);
}

void VexaKeyboard::onKeyFocusChanged(QAbstractButton* key)
{
    // Both views report; the one losing the focus reports null first.
    if (key)
        emit focusedKeyChanged(key);
}

void VexaKeyboard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!filtering) {
        qApp->installEventFilter(this);
        filtering = true;
    }
}

void VexaKeyboard::hideEvent(QHideEvent* event)
{
    if (filtering) {
        qApp->removeEventFilter(this);
        filtering = false;
    }
    QWidget::hideEvent(event);
}

// Catches the device's navigation keys on their way to any widget of the
// keyboard's window; our own key events pass.
bool VexaKeyboard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || delivering > 0 || !watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() != window() || !isVisible() || !isEnabled())
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    switch (keyEvent->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        moveFocus(keyEvent->key());
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        pressFocusedKey();
        return true;
    default:
        return false;
    }
}

} // namespace ui
