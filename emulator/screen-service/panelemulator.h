#pragma once

#include "commanddecoder.h"
#include "displaysync.h"
#include "panel.h"
#include "xwdframebuffer.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

class QTimer;

// The panel as the device drives it from the frame buffer it shares with
// the program (here the X server's, exported by Xvfb): updates copy the
// framebuffer onto the Panel, lines are drawn into the framebuffer and reach
// the panel with the next update. Keeps the figures (commands, flashes,
// pixels updated, outline and stale pixels) and writes the panel picture
// and the figures to files for a person, a device window or a test.
class PanelEmulator : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollMs = 50;            // framebuffer checksum poll
    static constexpr int SettleMs = 100;         // unchanged this long = settled
    static constexpr int WriteIntervalMs = 200;  // at most one picture per interval
    static const char* const FramebufferFile;

    struct Options
    {
        QSize panelSize = QSize(600, 800);
        int rotation = 0;      // degrees the program's screen is turned
        QString fbdir;         // Xvfb -fbdir; none: updates copy nothing, lines draw nothing
        QByteArray display;    // the X server drawing into it, waited for before each command
        QString pngPath;
        QString rawPath;
        QString statsPath;
    };

    // What one command did: to the panel, and to the framebuffer (lines).
    struct Effect
    {
        Panel::Change panel;
        qint64 drawn = 0; // framebuffer pixels a line command set
    };

    explicit PanelEmulator(const Options& options, QObject* parent = nullptr);

    // Applies one decoded command; what it did goes into the figures.
    Effect apply(const CommandDecoder::Command& command);
    // The figures now, with the stale count taken against the framebuffer as
    // it is at this moment.
    QJsonObject stats();
    const Panel& panel() const { return screen; }

    // Writes pending pictures at once instead of at the next interval.
    void flushFiles();

    // The panel pixels (indexes into Panel::pixels()) a polyline covers with
    // a square pen of the given width, clipped to the panel, each once.
    static QVector<int> linePixels(const QVector<QPoint>& points, int width, const QSize& panelSize);

private Q_SLOTS:
    void poll();
    void writePicture();

private:
    // A line command's pixels on the panel and its grey, to tell whether
    // the owner sees it.
    struct Outline
    {
        QVector<int> pixels;
        uchar grey = 0;
    };

    QByteArray physicalFramebuffer(QSize* size);
    bool ensureFramebuffer();
    qint64 drawLines(const CommandDecoder::Command& command);
    qint64 shownPixels(const Outline& outline, const Outline* except = nullptr) const;
    void recomputeStale();
    void recomputeStale(const QByteArray& source, const QSize& size);
    void scheduleWrite();
    void writeStats();
    QJsonObject figures() const;

    Options opts;
    Panel screen;
    XwdFramebuffer framebuffer;
    DisplaySync display;
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

    Outline outline;         // the last line command's
    Outline earlierOutline;  // the one before it

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
