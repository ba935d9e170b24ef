#pragma once

#include <QString>
#include <QWidget>

class QPaintEvent;

namespace ui {

// A framed square with "ABC" on each of its four sides, each turned to read
// from that side: the owner picks the side that should become the bottom.
class RotationWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Side = 250;

    explicit RotationWidget(QWidget* parent = nullptr);

    // The labels' font family; empty when none of the preferred ones is
    // installed (then the default font).
    QString fontFamily;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ui
