#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

class CommandChannel;
class InputTranslator;
class PanelFile;
class PanelView;
class QLabel;
class SystemStatus;

// The emulated device on the user's screen: the panel picture with the system
// manager's status line below it. Keys and touches go to the device.
class DeviceWindow : public QWidget {
    Q_OBJECT
public:
    struct Paths {
        QString panelRaw;   // the screen service's raw panel picture
        QString state;      // the system manager's state, copied by the forwarder
        QString input;      // the forwarder's FIFO
    };
    static const char* const Title;

    DeviceWindow(const Paths& paths, const QSize& panelSize, QWidget* parent = nullptr);

    PanelView* panelView() const { return view; }
    QString statusText() const;

private:
    void showPanelError(const QString& error);

    PanelFile* panelFile;
    SystemStatus* status;
    InputTranslator* input;
    CommandChannel* channel;
    PanelView* view;
    QLabel* statusLine;
};
