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
const char* const CHARACTER_PROPERTY = "keyCharacter";

// Black on white for the panel; the focused key inverted, a locked or
// pending shift drawn with a heavy border. Keys take no minimum width from
// the window's style (the program's buttons are 140 px wide), so ten keys
// fit a row of the 600 px screen.
const char* const KEYBOARD_STYLE =
    "QPushButton { background: white; color: black; border: 1px solid black; padding: 2px; min-width: 0px; }"
    "QPushButton:checked { border: 3px solid black; }"
    "QPushButton[catalogFocus=\"true\"] { background: black; color: white; }";

} // namespace

VexaKeyboard::VexaKeyboard(QWidget* parent)
    : QWidget(parent)
    , characters_(new CatalogView(this))
    , controls_(new CatalogView(this))
{
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QString::fromLatin1(KEYBOARD_STYLE));

    for (int r = 0; r < KeyboardData::rowCount(); ++r) {
        QList<QAbstractButton*> row;
        for (int c = 0; c < KeyboardData::columnCount(); ++c)
            row << makeKey();
        characters_->addRow(row);
    }

    QList<QAbstractButton*> control_row;
    for (const KeyboardData::ControlKey& k : KeyboardData::controlKeys()) {
        QPushButton* b = makeKey();
        QSizePolicy policy = b->sizePolicy();
        policy.setHorizontalStretch(k.stretch);
        b->setSizePolicy(policy);
        b->setCheckable(k.kind == KeyboardData::SHIFT);
        control_kinds_.insert(b, k.kind);
        control_row << b;
    }
    controls_->addRow(control_row);
    characters_->setNeighbor(controls_, CatalogView::RECYCLE_DOWN);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(characters_);
    layout->addWidget(controls_);

    connect(characters_, &CatalogView::focusItemChanged, this, &VexaKeyboard::onKeyFocusChanged);
    connect(controls_, &CatalogView::focusItemChanged, this, &VexaKeyboard::onKeyFocusChanged);

    relabel();
}

VexaKeyboard::~VexaKeyboard()
{
    if (filtering_)
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
    const QList<QStringList> rows = KeyboardData::rows(page_, shift_ != KeyboardData::SHIFT_OFF);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size(); ++c) {
            QAbstractButton* b = characters_->item(r, c);
            const QString ch = rows.at(r).at(c);
            b->setProperty(CHARACTER_PROPERTY, ch);
            b->setText(QString(ch).replace(QLatin1Char('&'), QLatin1String("&&")));
        }
    }
    for (auto it = control_kinds_.cbegin(); it != control_kinds_.cend(); ++it) {
        it.key()->setText(KeyboardData::controlLabel(it.value(), page_, shift_));
        if (it.value() == KeyboardData::SHIFT) {
            it.key()->setChecked(shift_ != KeyboardData::SHIFT_OFF);
            it.key()->setEnabled(page_ == KeyboardData::LETTERS);
        }
    }
}

void VexaKeyboard::initFocus()
{
    if (page_ != KeyboardData::LETTERS || shift_ != KeyboardData::SHIFT_OFF) {
        page_ = KeyboardData::LETTERS;
        shift_ = KeyboardData::SHIFT_OFF;
        relabel();
    }
    QAbstractButton* first = nullptr;
    for (int r = 0; r < characters_->rowCount() && !first; ++r) {
        for (int c = 0; c < characters_->columnCount(r); ++c) {
            const QString ch = characters_->item(r, c)->property(CHARACTER_PROPERTY).toString();
            if (!ch.isEmpty() && ch.at(0).isLetter()) {
                first = characters_->item(r, c);
                break;
            }
        }
    }
    controls_->clearFocusItem();
    characters_->setFocusItem(first);
    if (!window()->focusWidget())
        setFocus(Qt::OtherFocusReason);
}

void VexaKeyboard::setReceiver(QWidget* receiver)
{
    receiver_ = receiver;
}

QWidget* VexaKeyboard::receiver() const
{
    return receiver_;
}

QAbstractButton* VexaKeyboard::focusedKey() const
{
    if (QAbstractButton* b = characters_->focusItem())
        return b;
    return controls_->focusItem();
}

QAbstractButton* VexaKeyboard::characterKey(const QString& character) const
{
    for (int r = 0; r < characters_->rowCount(); ++r) {
        for (int c = 0; c < characters_->columnCount(r); ++c) {
            QAbstractButton* b = characters_->item(r, c);
            if (b->property(CHARACTER_PROPERTY).toString() == character)
                return b;
        }
    }
    return nullptr;
}

QAbstractButton* VexaKeyboard::controlKey(KeyboardData::KeyKind kind) const
{
    for (auto it = control_kinds_.cbegin(); it != control_kinds_.cend(); ++it) {
        if (it.value() == kind)
            return it.key();
    }
    return nullptr;
}

bool VexaKeyboard::moveFocus(int arrow_key)
{
    if (arrow_key != Qt::Key_Up && arrow_key != Qt::Key_Down && arrow_key != Qt::Key_Left
        && arrow_key != Qt::Key_Right)
        return false;
    if (!focusedKey()) {
        initFocus();
        return true;
    }
    CatalogView* view = characters_->focusItem() ? characters_ : controls_;
    view->moveFocus(arrow_key);
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
    const bool is_character = !control_kinds_.contains(key);
    if (is_character) {
        if (characters_->focusItem() != key) {
            controls_->clearFocusItem();
            characters_->setFocusItem(key);
        }
        const QString ch = key->property(CHARACTER_PROPERTY).toString();
        if (shift_ == KeyboardData::SHIFT_ONCE) {
            shift_ = KeyboardData::SHIFT_OFF;
            relabel();
        }
        deliver(KeyboardData::keyCode(KeyboardData::CHARACTER, ch),
                KeyboardData::keyText(KeyboardData::CHARACTER, ch));
        return;
    }

    if (controls_->focusItem() != key) {
        characters_->clearFocusItem();
        controls_->setFocusItem(key);
    }
    const KeyboardData::KeyKind kind = control_kinds_.value(key);
    switch (kind) {
    case KeyboardData::SHIFT:
        shift_ = KeyboardData::ShiftState((shift_ + 1) % 3);
        relabel();
        break;
    case KeyboardData::PAGE:
        page_ = page_ == KeyboardData::LETTERS ? KeyboardData::SYMBOLS : KeyboardData::LETTERS;
        shift_ = KeyboardData::SHIFT_OFF;
        relabel();
        break;
    default:
        deliver(KeyboardData::keyCode(kind), KeyboardData::keyText(kind));
        break;
    }
}

QWidget* VexaKeyboard::target() const
{
    if (receiver_)
        return receiver_;
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
    ++delivering_;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    if (to) {
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(to, &release);
    }
    if (!self)
        return;
    --delivering_;
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
    if (!filtering_) {
        qApp->installEventFilter(this);
        filtering_ = true;
    }
}

void VexaKeyboard::hideEvent(QHideEvent* event)
{
    if (filtering_) {
        qApp->removeEventFilter(this);
        filtering_ = false;
    }
    QWidget::hideEvent(event);
}

// Catches the device's navigation keys on their way to any widget of the
// keyboard's window; our own key events pass.
bool VexaKeyboard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || delivering_ > 0 || !watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() != window() || !isVisible() || !isEnabled())
        return false;
    auto* key_event = static_cast<QKeyEvent*>(event);
    switch (key_event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        moveFocus(key_event->key());
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
