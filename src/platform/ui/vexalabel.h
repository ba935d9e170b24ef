#pragma once

#include <QLabel>

namespace ui {

class VexaLabel : public QLabel
{
    Q_OBJECT

public:
    explicit VexaLabel(const QString& text, QWidget* parent = nullptr);

    // White bold text on a black band, as in a dialog's title bar.
    void useTitleBarStyle();
    bool hasTitleBarStyle() const { return titleBarStyle; }

private:
    bool titleBarStyle = false;
};

} // namespace ui
