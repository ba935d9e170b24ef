#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

class InputTranslator;

// Paints the panel picture pixel for pixel, or scaled down to fit keeping its
// aspect, centred; passes keys and touches on in panel coordinates.
class PanelView : public QWidget {
    Q_OBJECT
public:
    PanelView(const QSize& panelSize, InputTranslator* input, QWidget* parent = nullptr);

    void setImage(const QImage& image);
    void setMessage(const QString& message);

    // Where the panel lies in the widget.
    QRect panelRect() const;
    // The panel pixel under a widget point, clamped onto the panel.
    QPoint toPanel(const QPoint& widgetPos) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSize panelSize;
    InputTranslator* input;
    QImage image;
    QString message;
};
