#include "platform/ui/vexadialog.h"

#include "platform/screen/screenupdatewatcher.h"
#include "platform/ui/uiresources.h"
#include "platform/ui/vexalabel.h"
#include "platform/ui/vexapushbutton.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace ui {

namespace {
const int FRAME_WIDTH = 2;
const int MIN_ITEM_HEIGHT = 36;
const char* const CLOSE_ICON = ":/images/close.png";
}

VexaDialog::VexaDialog(QWidget* parent, bool framed)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , framed_(framed)
{
    initResources();

    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    title_bar_ = new QWidget(this);
    QPalette bar = title_bar_->palette();
    bar.setColor(QPalette::Window, Qt::black);
    title_bar_->setPalette(bar);
    title_bar_->setAutoFillBackground(true);
    title_bar_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    title_label_ = new VexaLabel(QString(), title_bar_);
    title_label_->useTitleBarStyle();
    close_button_ = new VexaPushButton(QIcon(QString::fromLatin1(CLOSE_ICON)), QString(), title_bar_);
    close_button_->setFocusPolicy(Qt::NoFocus);
    close_button_->setFlat(true);
    close_button_->setIconSize(QSize(24, 24));
    close_button_->setFixedSize(defaultItemHeight(), defaultItemHeight());

    auto* bar_layout = new QHBoxLayout(title_bar_);
    bar_layout->setContentsMargins(0, 0, 0, 0);
    bar_layout->setSpacing(0);
    bar_layout->addWidget(title_label_, 1);
    bar_layout->addWidget(close_button_);

    auto* outer = new QVBoxLayout(this);
    const int margin = framed_ ? FRAME_WIDTH : 0;
    outer->setContentsMargins(margin, margin, margin, margin);
    outer->setSpacing(0);
    outer->addWidget(title_bar_);
    vbox_ = new QVBoxLayout;
    vbox_->setContentsMargins(4, 4, 4, 4);
    outer->addLayout(vbox_, 1);
    // Room left over when the contents cannot grow goes below them, so the
    // title bar stays at the top.
    outer->addStretch(0);

    connect(close_button_, &QPushButton::clicked, this, &VexaDialog::onCloseClicked);
}

VexaDialog::~VexaDialog()
{
    unwatch();
}

void VexaDialog::updateTitle(const QString& title)
{
    title_label_->setText(title);
    setWindowTitle(title);
}

QString VexaDialog::title() const
{
    return title_label_->text();
}

int VexaDialog::defaultItemHeight()
{
    return qMax(MIN_ITEM_HEIGHT, QFontMetrics(QApplication::font()).height() + 12);
}

void VexaDialog::onCloseClicked()
{
    reject();
}

void VexaDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!watched_) {
        vexa::screen::watcher().addWatcher(this);
        watched_ = true;
    }
}

void VexaDialog::hideEvent(QHideEvent* event)
{
    unwatch();
    QDialog::hideEvent(event);
}

void VexaDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        onCloseClicked();
        return;
    }
    QDialog::keyPressEvent(event);
}

void VexaDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (!framed_)
        return;
    QPainter p(this);
    QPen pen(Qt::black, FRAME_WIDTH);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(FRAME_WIDTH / 2.0, FRAME_WIDTH / 2.0, -FRAME_WIDTH / 2.0,
                                       -FRAME_WIDTH / 2.0));
}

void VexaDialog::unwatch()
{
    if (!watched_)
        return;
    watched_ = false;
    vexa::screen::watcher().removeWatcher(this);
}

} // namespace ui
