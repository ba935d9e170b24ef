#pragma once

#include "commanddecoder.h"
#include "panel.h"
#include "xwdframebuffer.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>

class QTimer;

// The panel as the device would drive it from the X server's framebuffer:
// applies each command to the Panel, keeps the figures (commands, flashes,
// pixels updated, outline and stale pixels), and writes the panel picture
// and the figures to files for a person, a device window or a test.
class PanelEmulator : public QObject
{
    Q_OBJECT

public:
    static constexpr int POLL_MS = 50;          // framebuffer checksum poll
    static constexpr int SETTLE_MS = 100;       // unchanged this long = settled
    static constexpr int WRITE_INTERVAL_MS = 200; // at most one picture per interval
    static constexpr const char* FRAMEBUFFER_FILE = "Xvfb_screen0";

    struct Options
    {
        QSize panelSize = QSize(600, 800);
        int rotation = 0;      // degrees the program's screen is turned
        QString fbdir;         // Xvfb -fbdir; none: updates copy nothing
        QString pngPath;
        QString rawPath;
        QString statsPath;
    };

    explicit PanelEmulator(const Options& options, QObject* parent = nullptr);

    // Applies one decoded command; what it did goes into the figures.
    Panel::Change apply(const CommandDecoder::Command& command);
    // The figures now, with the stale count taken against the framebuffer as
    // it is at this moment.
    QJsonObject stats();
    const Panel& panel() const { return screen; }

    // Writes pending pictures at once instead of at the next interval.
    void flushFiles();

private Q_SLOTS:
    void poll();
    void writePicture();

private:
    QByteArray physicalFramebuffer(QSize* size);
    bool ensureFramebuffer();
    void recomputeStale();
    void recomputeStale(const QByteArray& source, const QSize& size);
    void scheduleWrite();
    void writeStats();
    QJsonObject figures() const;

    Options opts;
    Panel screen;
    XwdFramebuffer framebuffer;
    QString framebufferError;
    QTimer* pollTimer;
    QTimer* writeTimer;
    QElapsedTimer clock;
    qint64 lastWriteMs = -1;
    bool picturePending = false;

    quint64 lastChecksum = 0;
    qint64 framebufferChangedMs = 0;
    bool staleCurrent = false; // computed since the framebuffer last changed
    quint64 sourceChecksum = 0;  // of the framebuffer last read
    quint64 staleChecksum = 0;   // of the framebuffer the stale count was taken on
    qint64 staleCommands = -1;   // commands applied when it was taken

    QMap<QString, qint64> byType;
    QMap<QString, qint64> byWaveform;
    qint64 commands = 0;
    qint64 flashes = 0;
    qint64 pixelsUpdated = 0;
    qint64 pixelsCovered = 0;
    qint64 stalePixels = 0;
    qint64 staleAtMs = -1;
    QJsonObject last;
};
