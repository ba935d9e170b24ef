#include "network/wifidialog.h"

#include "network/wpaconnectionmanager.h"
#include "platform/screen/screenupdatewatcher.h"
#include "platform/ui/safeparentwidget.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalabel.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

namespace ui {

namespace {

// Long enough to read the address on the panel.
const int CloseDelayMs = 1500;
const QSize IconSize(64, 32);
const int Bars = 4;
const char* const ListStyle =
    "QListWidget { border: none; outline: none; background: white;"
    " selection-background-color: white; selection-color: black; }"
    "QListWidget::item { color: black; border: 2px solid transparent; }"
    "QListWidget::item:selected { background: white; color: black; border: 2px solid black; }";

// Signal bars, filled up to the quality, and a padlock for a key.
QIcon accessPointIcon(int quality, bool locked)
{
    QPixmap pixmap(IconSize);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::black, 2));
    const int filled = qBound(0, (quality * Bars + 99) / 100, Bars);
    for (int i = 0; i < Bars; ++i) {
        const int height = 8 + 6 * i;
        p.setBrush(i < filled ? Qt::black : Qt::white);
        p.drawRect(QRect(4 + 10 * i, IconSize.height() - 2 - height, 6, height));
    }
    if (locked) {
        p.setBrush(Qt::black);
        p.drawRect(QRect(46, 16, 14, 12));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRect(48, 6, 10, 16), 0, 180 * 16);
    }
    p.end();
    // The current row shows its outline only: no tinted icon.
    QIcon icon;
    icon.addPixmap(pixmap, QIcon::Normal);
    icon.addPixmap(pixmap, QIcon::Selected);
    return icon;
}

} // namespace

WifiDialog::WifiDialog(QWidget* parent, sys::SysStatus& system)
    : VexaDialog(parent, false)
    , wifi(new WpaConnectionManager(system, this))
    , stateLabel(new VexaLabel(QString(), this))
    , list(new QListWidget(this))
{
    setModal(true);
    updateTitle(tr("Wi-Fi"));
    stateLabel->setTextFormat(Qt::PlainText);
    stateLabel->setMinimumHeight(defaultItemHeight());
    list->setStyleSheet(QLatin1String(ListStyle));
    list->setIconSize(IconSize);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vbox()->addWidget(stateLabel);
    vbox()->addWidget(list, 1);

    connect(wifi, &WpaConnectionManager::connectionChanged, this,
            &WifiDialog::onConnectionChanged);
    connect(wifi, &WpaConnectionManager::passwordRequired, this,
            &WifiDialog::onPasswordRequired);
    connect(list, &QListWidget::itemClicked, this, &WifiDialog::onItemClicked);
    connect(list, &QListWidget::currentRowChanged, this, &WifiDialog::requestScreenUpdate);
}

int WifiDialog::popup(bool autoConnect)
{
    const QWidget* base = safeParentWidget(parentWidget());
    setGeometry(base->isWindow() ? base->geometry()
                                 : QRect(base->mapToGlobal(QPoint(0, 0)), base->size()));
    wifi->enableAutoConnect(autoConnect);
    exec();
    wifi->stop();
    return connected ? 1 : 0;
}

void WifiDialog::showEvent(QShowEvent* event)
{
    VexaDialog::showEvent(event);
    if (started)
        return;
    started = true;
    showAccessPoints();
    list->setFocus(Qt::OtherFocusReason);
    // Started once shown: radio and wpa_supplicant take a moment, and the
    // owner should see the dialog meanwhile.
    QTimer::singleShot(0, wifi, &WpaConnectionManager::start);
}

QString WifiDialog::stateText(int state, const QString& address)
{
    switch (state) {
    case WpaConnection::StateDisabled:
        return tr("Wifi is disabled.");
    case WpaConnection::StateDeviceFailed:
        return tr("Can not start wifi device.");
    case WpaConnection::StateAborted:
        return tr("Aborted.");
    case WpaConnection::StateScanning:
        return tr("Scanning...");
    case WpaConnection::StateReady:
        return tr("Ready");
    case WpaConnection::StateConnecting:
        return tr("Connecting...");
    case WpaConnection::StateAssociated:
    case WpaConnection::StateAcquiringAddress:
        return tr("Connected. Acquiring address...");
    case WpaConnection::StateAddressAcquired:
        return tr("Connected: %1").arg(address);
    case WpaConnection::StateNotConnected:
    case WpaConnection::StateNotConnected2:
        return tr("Not connected.");
    case WpaConnection::StateAddressFailed:
        return tr("Could not acquire address.");
    case WpaConnection::StateTimeout:
        return tr("Timeout.");
    default:
        return QString();
    }
}

QString WifiDialog::shownState() const
{
    return stateLabel->text();
}

void WifiDialog::onCloseClicked()
{
    done(connected ? Accepted : Rejected);
}

void WifiDialog::keyPressEvent(QKeyEvent* event)
{
    // The list only announces OK; the dialog would take it for its default
    // button as well.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        activate(list->currentRow());
        return;
    }
    VexaDialog::keyPressEvent(event);
}

void WifiDialog::onItemClicked(QListWidgetItem* item)
{
    activate(list->row(item));
}

void WifiDialog::activate(int row)
{
    if (row < 0 || asking || connected)
        return;
    if (row >= shown.size()) {
        rescanChosen = true;
        wifi->triggerScan();
        return;
    }
    wifi->connectTo(shown.at(row));
}

void WifiDialog::onConnectionChanged(const WifiProfile&, WpaConnection::ConnectionState state)
{
    if (connected)
        return;
    const QString text = stateText(state, wifi->address());
    if (!text.isEmpty() || state == WpaConnection::StateNone)
        showState(text);
    if (state == WpaConnection::StateReady) {
        showAccessPoints();
    } else if (state == WpaConnection::StateAddressAcquired) {
        connected = true;
        QTimer::singleShot(CloseDelayMs, this, [this] { done(Accepted); });
    }
}

void WifiDialog::onPasswordRequired(const WifiProfile& profile)
{
    // Asked from the event loop: this arrives while wpa_supplicant's
    // messages are being read.
    QTimer::singleShot(0, this, [this, profile] { askPassword(profile); });
}

void WifiDialog::askPassword(const WifiProfile& profile)
{
    if (asking || connected || !isVisible())
        return;
    // Nothing asks for a key there: it did not answer.
    if (!profile.isEncrypted()) {
        showState(stateText(WpaConnection::StateTimeout));
        return;
    }
    const bool wrong = !profile.psk().isEmpty() || !profile.wepKey1().isEmpty();
    const QString title = wrong ? tr("Wrong password for %1") : tr("Password for %1");
    if (wrong)
        showState(tr("Wrong password."));
    asking = true;
    QString password;
    {
        VexaKeyboardDialog prompt(this, title.arg(profile.displayName()));
        password = prompt.popup(QString());
    }
    asking = false;
    // What the keyboard covered goes back to the panel.
    update();
    requestScreenUpdate();
    if (password.isEmpty()) {
        showState(stateText(WpaConnection::StateAborted));
        return;
    }
    WifiProfile withKey = profile;
    wifi->setPassword(withKey, password);
    wifi->connectTo(withKey);
}

void WifiDialog::showAccessPoints()
{
    const int was = list->currentRow();
    const bool onRescan = rescanChosen;
    rescanChosen = false;
    const QString current = was >= 0 && was < shown.size() ? shown.at(was).bssid() : QString();
    wifi->scanResults(shown);
    list->clear();
    int row = 0;
    for (int i = 0; i < shown.size(); ++i) {
        const WifiProfile& ap = shown.at(i);
        const QString name = ap.ssid().isEmpty() ? tr("(hidden network)") : ap.displayName();
        auto* item = new QListWidgetItem(accessPointIcon(ap.quality(), ap.isEncrypted()), name, list);
        item->setSizeHint(QSize(0, qMax(defaultItemHeight(), IconSize.height() + 8)));
        if (ap.bssid() == current)
            row = i;
    }
    auto* rescan = new QListWidgetItem(tr("Scan again"), list);
    rescan->setSizeHint(QSize(0, qMax(defaultItemHeight(), IconSize.height() + 8)));
    // After "Scan again" the cursor stays there, else on the same access point.
    list->setCurrentRow(onRescan ? shown.size() : row);
    requestScreenUpdate();
}

void WifiDialog::showState(const QString& text)
{
    stateLabel->setText(text);
    requestScreenUpdate();
}

void WifiDialog::requestScreenUpdate()
{
    vexa::screen::watcher().enqueue(this, vexa::screen::ScreenProxy::GU,
                                     vexa::screen::ScreenCommand::NO_WAIT);
}

} // namespace ui
