#include "platform/ui/vexalabel.h"

namespace ui {

VexaLabel::VexaLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
}

void VexaLabel::useTitleBarStyle()
{
    titleBarStyle = true;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setMargin(4);
    setTextFormat(Qt::PlainText);
}

} // namespace ui
