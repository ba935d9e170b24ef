#pragma once

#include <QPushButton>

namespace ui {

class VexaPushButton : public QPushButton
{
    Q_OBJECT

public:
    explicit VexaPushButton(const QString& text, QWidget* parent = nullptr);
    VexaPushButton(const QIcon& icon, const QString& text, QWidget* parent = nullptr);

    // Fixes the height to the toolkit's row height.
    void useDefaultHeight();

private:
    void init();
};

} // namespace ui
