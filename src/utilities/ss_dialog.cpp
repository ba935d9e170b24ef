#include "utilities/ss_dialog.h"

#include "browser/screen_watcher.h"
#include "utilities/okcancelbuttons.h"
#include "utilities/spinbox.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>

namespace {

const int MsPerMinute = 60000;
const int MaxMinutes = 999;
const int FontPointSize = 22;

} // namespace

SS_DIALOG::SS_DIALOG(QWidget* parent, int suspendMs, int shutdownMs)
    : QDialog(parent)
{
    screenWatcher.watch(this);
    QFont f = font();
    f.setPointSize(FontPointSize);
    auto* grid = new QGridLayout(this);
    grid->setAlignment(Qt::AlignCenter);
    int column = 0;
    for (const char* text : { QT_TR_NOOP("Suspend time"), QT_TR_NOOP("Shutdown time") }) {
        auto* label = new QLabel(tr(text), this);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(f);
        grid->addWidget(label, 0, column++);
    }
    suspend = new SPINBOX(suspendMs / MsPerMinute, 0, MaxMinutes, this);
    shutdown = new SPINBOX(shutdownMs / MsPerMinute, 0, MaxMinutes, this);
    grid->addWidget(suspend, 1, 0);
    grid->addWidget(shutdown, 1, 1);
    grid->addWidget(okCancelButtons(this), 2, 0, 1, 2);
    setWindowTitle(tr("Set time intervals"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    suspend->setFocus();
}

void SS_DIALOG::intervals(int& suspendMs, int& shutdownMs) const
{
    suspendMs = suspend->value() * MsPerMinute;
    shutdownMs = shutdown->value() * MsPerMinute;
}

void SS_DIALOG::keyReleaseEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Left || e->key() == Qt::Key_Right) {
        (focusWidget() == suspend ? shutdown : suspend)->setFocus();
        return;
    }
    QDialog::keyReleaseEvent(e);
}
