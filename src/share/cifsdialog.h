#pragma once

#include "platform/ui/vexadialog.h"

class CIFSSettings;
class QFormLayout;

namespace ui {

class VexaCheckBox;
class VexaKeyboard;
class VexaLabel;
class VexaLineEdit;
class VexaPushButton;

// The share settings dialog, docked to the bottom of the screen with the
// on-screen keyboard below its fields. The device's arrows and OK drive the
// keyboard; a tap picks the field the keyboard types into.
class CIFSDialog : public VexaDialog
{
    Q_OBJECT

public:
    CIFSDialog(QWidget* parent, CIFSSettings* settings);

    // Shows the record, runs the dialog and, on OK, writes the fields back
    // into the record. True when accepted.
    bool popup();

public slots:
    void onAnonimousClicked();
    void onOKClicked();
    void onCloseClicked() override;
    void onDomainGetFocus(VexaLineEdit* edit);
    void onServerGetFocus(VexaLineEdit* edit);
    void onDirListGetFocus(VexaLineEdit* edit);
    void onLoginGetFocus(VexaLineEdit* edit);
    void onPasswordGetFocus(VexaLineEdit* edit);
    void onServerSyncGetFocus(VexaLineEdit* edit);
    void onClientSyncGetFocus(VexaLineEdit* edit);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QFormLayout* form;
    VexaLabel* domainLabel;
    VexaLabel* serverLabel;
    VexaLabel* dirListLabel;
    VexaLabel* loginLabel;
    VexaLabel* passwordLabel;
    VexaLabel* syncLabel;
    VexaLabel* serverSyncLabel;
    VexaLabel* clientSyncLabel;
    VexaLineEdit* domainEdit;
    VexaLineEdit* serverEdit;
    VexaLineEdit* dirListEdit;
    VexaLineEdit* loginEdit;
    VexaLineEdit* passwordEdit;
    VexaLineEdit* serverSyncEdit;
    VexaLineEdit* clientSyncEdit;
    VexaCheckBox* anonimousBox;
    VexaPushButton* okButton;
    VexaPushButton* cancelButton;
    VexaKeyboard* keyboard;
    CIFSSettings* settings;
    VexaLineEdit* currentEdit = nullptr;
    // Set while a key is on its way to the current edit: one the edit
    // does not take comes back here and must not be sent again.
    bool forwarding = false;
};

} // namespace ui
