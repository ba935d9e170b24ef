#pragma once

class QDialog;
class QDialogButtonBox;

// The OK/Cancel row of the device's small dialogs: Return is OK and Escape
// is Cancel, whichever widget holds the keys.
QDialogButtonBox* okCancelButtons(QDialog* dialog);
