#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// The program's message box: a fixed-size dialog watched for e-ink
// refreshes, run modally; what it covered is sent to the panel again once
// it closes. Returns the standard button pressed.
int showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                   const QString& text, QMessageBox::StandardButtons buttons);

