#pragma once

#include <QCheckBox>

namespace ui {

class VexaCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    explicit VexaCheckBox(const QString& text, QWidget* parent = nullptr);

    // Whether a tap also moves the keyboard focus (the selection) to the
    // box. Off, a tap only toggles it and the focus stays where it was.
    void selectOnClicked(bool select);
    bool isSelectOnClicked() const;
};

} // namespace ui
