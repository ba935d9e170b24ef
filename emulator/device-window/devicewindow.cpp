#include "devicewindow.h"

#include "commandchannel.h"
#include "inputtranslator.h"
#include "panelfile.h"
#include "panelview.h"
#include "systemstatus.h"

#include <QLabel>
#include <QVBoxLayout>

const char* const DeviceWindow::TITLE = "lirro device";

DeviceWindow::DeviceWindow(const Paths& paths, const QSize& panelSize, QWidget* parent)
    : QWidget(parent)
    , m_panel(new PanelFile(paths.panelRaw, panelSize, this))
    , m_status(new SystemStatus(paths.state, this))
    , m_input(new InputTranslator(this))
    , m_channel(new CommandChannel(paths.input, this))
    , m_view(new PanelView(panelSize, m_input, this))
    , m_statusLine(new QLabel(this))
{
    setWindowTitle(QString::fromLatin1(TITLE));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(4);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_statusLine);
    m_statusLine->setAlignment(Qt::AlignCenter);
    m_statusLine->setTextInteractionFlags(Qt::NoTextInteraction);
    m_statusLine->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(m_view);

    connect(m_input, &InputTranslator::command, m_channel, &CommandChannel::send);
    connect(m_panel, &PanelFile::changed, m_view, &PanelView::setImage);
    connect(m_panel, &PanelFile::errorChanged, this, &DeviceWindow::showPanelError);
    connect(m_status, &SystemStatus::textChanged, m_statusLine, &QLabel::setText);

    m_statusLine->setText(m_status->text());
    m_panel->check();
    m_view->setImage(m_panel->image());
    showPanelError(m_panel->error());
}

QString DeviceWindow::statusText() const
{
    return m_statusLine->text();
}

void DeviceWindow::showPanelError(const QString& error)
{
    // Before the first picture the panel says why it is blank; later errors
    // leave the last picture standing.
    m_view->setMessage(m_panel->image().isNull() ? error : QString());
    if (!error.isEmpty() && !m_panel->image().isNull())
        qWarning("device-window: %s", qPrintable(error));
}
