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
const int FrameWidth = 2;
const int MinItemHeight = 36;
const char* const CloseIcon = ":/images/close.png";
}

VexaDialog::VexaDialog(QWidget* parent, bool framed)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , drawsFrame(framed)
{
    initResources();

    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    titleBarWidget = new QWidget(this);
    QPalette bar = titleBarWidget->palette();
    bar.setColor(QPalette::Window, Qt::black);
    titleBarWidget->setPalette(bar);
    titleBarWidget->setAutoFillBackground(true);
    titleBarWidget->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    titleLabelWidget = new VexaLabel(QString(), titleBarWidget);
    titleLabelWidget->useTitleBarStyle();
    closeButtonWidget = new VexaPushButton(QIcon(QString::fromLatin1(CloseIcon)), QString(), titleBarWidget);
    closeButtonWidget->setFocusPolicy(Qt::NoFocus);
    closeButtonWidget->setFlat(true);
    closeButtonWidget->setIconSize(QSize(24, 24));
    closeButtonWidget->setFixedSize(defaultItemHeight(), defaultItemHeight());

    auto* barLayout = new QHBoxLayout(titleBarWidget);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    barLayout->addWidget(titleLabelWidget, 1);
    barLayout->addWidget(closeButtonWidget);

    auto* outer = new QVBoxLayout(this);
    const int margin = drawsFrame ? FrameWidth : 0;
    outer->setContentsMargins(margin, margin, margin, margin);
    outer->setSpacing(0);
    outer->addWidget(titleBarWidget);
    contentLayout = new QVBoxLayout;
    contentLayout->setContentsMargins(4, 4, 4, 4);
    outer->addLayout(contentLayout, 1);
    // Room left over when the contents cannot grow goes below them, so the
    // title bar stays at the top.
    outer->addStretch(0);

    connect(closeButtonWidget, &QPushButton::clicked, this, &VexaDialog::onCloseClicked);
}

VexaDialog::~VexaDialog()
{
    unwatch();
}

void VexaDialog::updateTitle(const QString& title)
{
    titleLabelWidget->setText(title);
    setWindowTitle(title);
}

QString VexaDialog::title() const
{
    return titleLabelWidget->text();
}

int VexaDialog::defaultItemHeight()
{
    return qMax(MinItemHeight, QFontMetrics(QApplication::font()).height() + 12);
}

void VexaDialog::onCloseClicked()
{
    reject();
}

void VexaDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!watched) {
        vexa::screen::watcher().addWatcher(this);
        watched = true;
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
    if (!drawsFrame)
        return;
    QPainter p(this);
    QPen pen(Qt::black, FrameWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(FrameWidth / 2.0, FrameWidth / 2.0, -FrameWidth / 2.0,
                                       -FrameWidth / 2.0));
}

void VexaDialog::unwatch()
{
    if (!watched)
        return;
    watched = false;
    vexa::screen::watcher().removeWatcher(this);
}

} // namespace ui
