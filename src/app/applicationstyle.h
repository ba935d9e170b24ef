#pragma once

#include <QProxyStyle>

// The program's look (Fusion, standing in for the device's Cleanlooks),
// with the menu bar's overflow arrow made only when it is first drawn. The
// menu bar asks for that arrow while it is being built, and Qt reads such
// a picture by asking every installed image plugin whether it can, which
// loads them all before the first screen; the arrow itself shows only when
// the menus do not fit.
class ApplicationStyle : public QProxyStyle
{
public:
    ApplicationStyle();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
