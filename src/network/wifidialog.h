#pragma once

#include "network/wifinetworkproperties.h"
#include "network/wpaconnection.h"
#include "platform/ui/vexadialog.h"

#include <QString>

class QListWidget;
class QListWidgetItem;
class WpaConnectionManager;

namespace sys {
class SysStatus;
}

namespace ui {

class VexaLabel;

// The device's Wi-Fi dialog, over the whole screen: the connection state,
// the access points in range with their signal and a lock on encrypted
// ones, and "Scan again" last. Up and Down choose, OK (or a tap) connects,
// Back closes. A missing or wrong key is asked for with the keyboard
// dialog. Once an address is acquired the dialog closes by itself.
class WifiDialog : public VexaDialog
{
    Q_OBJECT

public:
    WifiDialog(QWidget* parent, sys::SysStatus& system);

    // Runs modally; with autoConnect the best remembered access point is
    // taken unasked. Non-zero when a connection was made. Shown, the dialog
    // powers the radio and scans.
    int popup(bool autoConnect);

    // The text shown for a state; empty where the state shows none.
    static QString stateText(int state, const QString& address = QString());

    WpaConnectionManager* manager() const { return wifi; }
    QListWidget* accessPoints() const { return list; }
    QString shownState() const;

public slots:
    void onCloseClicked() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void onConnectionChanged(const WifiProfile& profile, WpaConnection::ConnectionState state);
    void onPasswordRequired(const WifiProfile& profile);
    void onItemClicked(QListWidgetItem* item);

private:
    void activate(int row);
    void showAccessPoints();
    void askPassword(const WifiProfile& profile);
    void showState(const QString& text);
    void requestScreenUpdate();

    WpaConnectionManager* wifi;
    VexaLabel* stateLabel;
    QListWidget* list;
    WifiProfiles shown;
    bool started = false;
    bool asking = false;
    bool connected = false;
    // The owner chose "Scan again": the cursor stays there.
    bool rescanChosen = false;
};

} // namespace ui
