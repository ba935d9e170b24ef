#include "devicewindow.h"

#include "commandchannel.h"
#include "inputtranslator.h"
#include "panelfile.h"
#include "panelview.h"
#include "systemstatus.h"

#include <QLabel>
#include <QVBoxLayout>

const char* const DeviceWindow::Title = "lirro device";

DeviceWindow::DeviceWindow(const Paths& paths, const QSize& panelSize, QWidget* parent)
    : QWidget(parent)
    , panelFile(new PanelFile(paths.panelRaw, panelSize, this))
    , status(new SystemStatus(paths.state, this))
    , input(new InputTranslator(this))
    , channel(new CommandChannel(paths.input, this))
    , view(new PanelView(panelSize, input, this))
    , statusLine(new QLabel(this))
{
    setWindowTitle(QString::fromLatin1(Title));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(4);
    layout->addWidget(view, 1);
    layout->addWidget(statusLine);
    statusLine->setAlignment(Qt::AlignCenter);
    statusLine->setTextInteractionFlags(Qt::NoTextInteraction);
    statusLine->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(view);

    connect(input, &InputTranslator::command, channel, &CommandChannel::send);
    connect(panelFile, &PanelFile::changed, view, &PanelView::setImage);
    connect(panelFile, &PanelFile::errorChanged, this, &DeviceWindow::showPanelError);
    connect(status, &SystemStatus::textChanged, statusLine, &QLabel::setText);

    statusLine->setText(status->text());
    panelFile->check();
    view->setImage(panelFile->image());
    showPanelError(panelFile->error());
}

QString DeviceWindow::statusText() const
{
    return statusLine->text();
}

void DeviceWindow::showPanelError(const QString& error)
{
    // Before the first picture the panel says why it is blank; later errors
    // leave the last picture standing.
    view->setMessage(panelFile->image().isNull() ? error : QString());
    if (!error.isEmpty() && !panelFile->image().isNull())
        qWarning("device-window: %s", qPrintable(error));
}
