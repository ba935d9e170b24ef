#include "share/cifsdialog.h"

#include "browser/screen_watcher.h"
#include "platform/screen/screenupdatewatcher.h"
#include "platform/ui/keyboarddata.h"
#include "platform/ui/safeparentwidget.h"
#include "platform/ui/vexacheckbox.h"
#include "platform/ui/vexakeyboard.h"
#include "platform/ui/vexalabel.h"
#include "platform/ui/vexalineedit.h"
#include "platform/ui/vexapushbutton.h"
#include "share/cifssettings.h"

#include <QApplication>
#include <QFormLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace ui {

namespace {

using vexa::screen::ScreenCommand;
using vexa::screen::ScreenProxy;

const int Spacing = 4;
// Only the watcher's own updates: no periodic full refresh.
const int NoGCInterval = -1;

VexaLineEdit* makeEdit(const char* name, QWidget* parent)
{
    auto* edit = new VexaLineEdit(QString(), parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

} // namespace

CIFSDialog::CIFSDialog(QWidget* parent, CIFSSettings* settings)
    : VexaDialog(parent, false)
    , form(new QFormLayout)
    , domainLabel(new VexaLabel(tr("Domain"), this))
    , serverLabel(new VexaLabel(tr("Server"), this))
    , dirListLabel(new VexaLabel(tr("Dir(s)"), this))
    , loginLabel(new VexaLabel(tr("Login"), this))
    , passwordLabel(new VexaLabel(tr("Password"), this))
    , syncLabel(new VexaLabel(tr("Directories for synchronization"), this))
    , serverSyncLabel(new VexaLabel(tr("At server"), this))
    , clientSyncLabel(new VexaLabel(tr("At device"), this))
    , domainEdit(makeEdit("domainEdit", this))
    , serverEdit(makeEdit("serverEdit", this))
    , dirListEdit(makeEdit("dirListEdit", this))
    , loginEdit(makeEdit("loginEdit", this))
    , passwordEdit(makeEdit("passwordEdit", this))
    , serverSyncEdit(makeEdit("serverSyncEdit", this))
    , clientSyncEdit(makeEdit("clientSyncEdit", this))
    , anonimousBox(new VexaCheckBox(tr("Anonimous"), this))
    , okButton(new VexaPushButton(tr("OK"), this))
    , cancelButton(new VexaPushButton(tr("Cancel"), this))
    , keyboard(new VexaKeyboard(this))
    , settings(settings)
{
    anonimousBox->setObjectName(QStringLiteral("anonimousBox"));
    okButton->setObjectName(QStringLiteral("okButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));

    vbox()->setContentsMargins(0, 0, 0, 0);
    vbox()->setSpacing(Spacing);
    vbox()->addLayout(form);
    form->setFormAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    form->addRow(domainLabel, domainEdit);
    form->addRow(serverLabel, serverEdit);
    form->addRow(dirListLabel, dirListEdit);
    anonimousBox->setFixedHeight(defaultItemHeight());
    anonimousBox->selectOnClicked(false);
    anonimousBox->setFocusPolicy(Qt::NoFocus);
    form->addRow(anonimousBox);
    form->addRow(loginLabel, loginEdit);
    form->addRow(passwordLabel, passwordEdit);
    syncLabel->setAlignment(Qt::AlignCenter);
    form->addRow(syncLabel);
    form->addRow(serverSyncLabel, serverSyncEdit);
    form->addRow(clientSyncLabel, clientSyncEdit);
    for (VexaPushButton* button : { okButton, cancelButton }) {
        button->useDefaultHeight();
        button->setFocusPolicy(Qt::NoFocus);
    }
    form->addRow(okButton, cancelButton);
    vbox()->addWidget(keyboard);
    // The keyboard's keys come here and go on to the field being edited.
    keyboard->setReceiver(this);

    connect(domainEdit, &VexaLineEdit::getFocus, this, &CIFSDialog::onDomainGetFocus);
    connect(serverEdit, &VexaLineEdit::getFocus, this, &CIFSDialog::onServerGetFocus);
    connect(dirListEdit, &VexaLineEdit::getFocus, this, &CIFSDialog::onDirListGetFocus);
    connect(loginEdit, &VexaLineEdit::getFocus, this, &CIFSDialog::onLoginGetFocus);
    connect(passwordEdit, &VexaLineEdit::getFocus, this, &CIFSDialog::onPasswordGetFocus);
    connect(serverSyncEdit, &VexaLineEdit::getFocus, this, &CIFSDialog::onServerSyncGetFocus);
    connect(clientSyncEdit, &VexaLineEdit::getFocus, this, &CIFSDialog::onClientSyncGetFocus);
    connect(anonimousBox, &QCheckBox::clicked, this, &CIFSDialog::onAnonimousClicked,
            Qt::QueuedConnection);
    connect(okButton, &QPushButton::clicked, this, &CIFSDialog::onOKClicked);
    connect(cancelButton, &QPushButton::clicked, this, &CIFSDialog::onCloseClicked);

    onAnonimousClicked();
    setModal(true);
    setFocusPolicy(Qt::NoFocus);
    updateTitle(tr("CIFS server configuration"));
    keyboard->initFocus();
}

bool CIFSDialog::popup()
{
    domainEdit->setText(settings->domain());
    serverEdit->setText(settings->server());
    dirListEdit->setText(settings->dirList());
    loginEdit->setText(settings->login());
    passwordEdit->setText(settings->password());
    serverSyncEdit->setText(settings->serverSync());
    clientSyncEdit->setText(settings->clientSync());
    anonimousBox->setChecked(settings->anonimous());
    loginEdit->setEnabled(!anonimousBox->isChecked());
    passwordEdit->setEnabled(!anonimousBox->isChecked());

    currentEdit = serverEdit;
    serverEdit->setFocus();
    if (isHidden())
        show();
    vexa::screen::watcher().addWatcher(this, NoGCInterval);
    // What Qt paints besides (the keyboard's focus, a field's frame) reaches
    // the panel as everywhere else in the program.
    screenWatcher.watch(this);

    // Docked to the bottom edge across the whole width.
    const QWidget* screen = safeParentWidget(parentWidget());
    if (width() != screen->width())
        resize(screen->width(), height());
    move(0, screen->height() - height());

    vexa::screen::watcher().enqueue(nullptr, ScreenProxy::GC, ScreenCommand::SERVICE_WAIT);
    const int result = exec();
    vexa::screen::watcher().removeWatcher(this);
    return result != 0;
}

void CIFSDialog::onAnonimousClicked()
{
    const bool named = !anonimousBox->isChecked();
    loginEdit->setEnabled(named);
    passwordEdit->setEnabled(named);
    repaint();
    vexa::screen::watcher().enqueue(this, ScreenProxy::GC, ScreenCommand::SERVICE_WAIT);
}

void CIFSDialog::onOKClicked()
{
    settings->setDomain(domainEdit->text());
    settings->setServer(serverEdit->text());
    settings->setDirList(dirListEdit->text());
    settings->setLogin(loginEdit->text());
    settings->setPassword(passwordEdit->text());
    settings->setServerSync(serverSyncEdit->text());
    settings->setClientSync(clientSyncEdit->text());
    settings->setAnonimous(anonimousBox->isChecked());
    done(1);
}

void CIFSDialog::onCloseClicked()
{
    done(0);
}

void CIFSDialog::onDomainGetFocus(VexaLineEdit* edit)
{
    currentEdit = edit;
}

void CIFSDialog::onServerGetFocus(VexaLineEdit* edit)
{
    currentEdit = edit;
}

void CIFSDialog::onDirListGetFocus(VexaLineEdit* edit)
{
    currentEdit = edit;
}

void CIFSDialog::onLoginGetFocus(VexaLineEdit* edit)
{
    currentEdit = edit;
}

void CIFSDialog::onPasswordGetFocus(VexaLineEdit* edit)
{
    currentEdit = edit;
}

void CIFSDialog::onServerSyncGetFocus(VexaLineEdit* edit)
{
    currentEdit = edit;
}

void CIFSDialog::onClientSyncGetFocus(VexaLineEdit* edit)
{
    currentEdit = edit;
}

void CIFSDialog::keyPressEvent(QKeyEvent* event)
{
    if (forwarding)
        return;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        // The device's arrows walk the keyboard; the keyboard's own cursor
        // keys (sent by the program, not the device) move in the field.
        if (event->spontaneous())
            return;
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_F23:
        return;
    case Qt::Key_Enter:
        if (event->text() != KeyboardData::ENTER_TEXT)
            return;
        break;
    default:
        break;
    }
    if (!currentEdit)
        return;
    const QString text = currentEdit->text();
    const int cursor = currentEdit->cursorPosition();
    forwarding = true;
    QApplication::sendEvent(currentEdit, event);
    forwarding = false;
    if (currentEdit->text() == text && currentEdit->cursorPosition() == cursor)
        return;
    // DW, fast but without greys, for the field alone: the refresh watcher
    // brings its greys back with the next partial update.
    currentEdit->repaint();
    vexa::screen::watcher().enqueue(currentEdit, ScreenProxy::DW, ScreenCommand::NO_WAIT);
}

void CIFSDialog::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Menu || event->key() == Qt::Key_Escape) {
        onCloseClicked();
        return;
    }
    VexaDialog::keyReleaseEvent(event);
}

void CIFSDialog::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void CIFSDialog::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void CIFSDialog::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

} // namespace ui
