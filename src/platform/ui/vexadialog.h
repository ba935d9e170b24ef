#pragma once

#include <QDialog>

class QHBoxLayout;
class QVBoxLayout;

namespace ui {

class VexaLabel;
class VexaPushButton;

// The device's dialog frame: a black title bar with the title and a close
// button above a vertical layout for the contents. The dialog registers
// itself with the screen update watcher while it is shown, so its repaints
// reach the e-ink panel.
class VexaDialog : public QDialog
{
    Q_OBJECT

public:
    // framed: draw a black border round the dialog (a box floating over
    // the screen); without it the dialog is meant to dock to a screen edge.
    explicit VexaDialog(QWidget* parent = nullptr, bool framed = false);
    ~VexaDialog() override;

    void updateTitle(const QString& title);
    QString title() const;

    // The standard height of a row: line edits, buttons, check boxes.
    static int defaultItemHeight();

    bool isFramed() const { return drawsFrame; }
    QWidget* titleBar() const { return titleBarWidget; }
    VexaLabel* titleLabel() const { return titleLabelWidget; }
    VexaPushButton* closeButton() const { return closeButtonWidget; }
    // The layout below the title bar that holds the dialog's contents.
    QVBoxLayout* vbox() const { return contentLayout; }

public slots:
    // The close button and Back (Escape) end here; rejects the dialog.
    virtual void onCloseClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void unwatch();

    bool drawsFrame;
    bool watched = false;
    QWidget* titleBarWidget;
    VexaLabel* titleLabelWidget;
    VexaPushButton* closeButtonWidget;
    QVBoxLayout* contentLayout;
};

} // namespace ui
