#pragma once

#include "platform/screen/screencommand.h"

#include <QMetaType>
#include <QRect>
#include <QSize>

class QPoint;
class QWidget;

namespace vexa {
namespace screen {

// Client of the screen service that drives the e-ink panel: each request is
// one 164-byte datagram to 127.0.0.1:5678. Every proxy shares one record and
// one socket for the whole process; instance() is the one the program uses.
class ScreenProxy
{
public:
    enum Waveform : int32_t {
        NO_WAVEFORM = 0, // replaced by the default waveform before sending
        DW = 1,
        GU = 3,
        GC = 4,
    };

    // Stored for callers, not consulted by the proxy.
    enum WaveformPolicy : int32_t {
        DEFAULT_POLICY = 0,
    };

    static constexpr int Port = 5678;
    static constexpr int ReplyTimeoutMs = 3000;

    ScreenProxy();

    static ScreenProxy& instance();

    void setGCInterval(int interval);
    int gcInterval() const { return updatesPerGc; }
    void setDefaultWaveform(Waveform w);
    Waveform defaultWaveform() const { return fallbackWaveform; }
    void setWaveformPolicy(WaveformPolicy policy);
    WaveformPolicy waveformPolicy() const;
    void increaseGUCount();
    void resetGUCount();
    int guCount() const { return guSinceGc; }
    bool isEnabled() const { return enabled; }

    // Runs pending events for at most ms milliseconds with region updates
    // suppressed (DW ones excepted), so that one update afterwards covers them.
    void flush(int ms);
    // As above for at most 3000 ms, then one region update of the widget
    // (the whole screen without one).
    void flush(const QWidget* widget, Waveform w = NO_WAVEFORM, bool fullUpdate = true,
               ScreenCommand::WaitMode wait = ScreenCommand::SERVICE_WAIT);

    void updateScreen(Waveform w = NO_WAVEFORM,
                      ScreenCommand::WaitMode wait = ScreenCommand::SERVICE_WAIT);
    void updateWidget(const QWidget* widget, Waveform w = NO_WAVEFORM, bool fullUpdate = true,
                      ScreenCommand::WaitMode wait = ScreenCommand::SERVICE_WAIT);
    void updateWidgetRegion(const QWidget* widget, const QRect& rect, Waveform w = NO_WAVEFORM,
                            bool fullUpdate = true,
                            ScreenCommand::WaitMode wait = ScreenCommand::SERVICE_WAIT);
    // Ordinary (GU) updates become GC every gcInterval()-th time.
    void updateWidgetWithGCInterval(const QWidget* widget, const QRect* rect = nullptr,
                                    Waveform w = NO_WAVEFORM, bool fullUpdate = true,
                                    ScreenCommand::WaitMode wait = ScreenCommand::SERVICE_WAIT);
    void sync(const QWidget* widget, const QRect* rect = nullptr);
    void ensureUpdateFinished();
    void drawLine(int x1, int y1, int x2, int y2, unsigned char color, int size);
    // At most 15 points; more (or a negative count) sends nothing.
    void drawLines(const QPoint* points, int count, unsigned char color, int size);
    void fillScreen(unsigned char color);

    // The panel region of a widget, or of a rectangle in global logical
    // coordinates (it wins over the widget), or of the whole screen; turned
    // into the panel's own coordinates and clipped to it.
    const QRect& screenRegion(const QWidget* widget, const QRect* rect);
    // A rectangle of the logical screen (of the given size) turned by degrees
    // (0, 90, 180, 270) into the panel's coordinates: the one rotation
    // mapping of the program. Not clipped.
    static QRect toPanel(const QRect& logical, const QSize& screen, int degrees);
    // The same, clipped to the panel, whose sides swap at a quarter turn.
    static QRect mapToPanel(const QRect& logical, const QRect& screen, int degrees);

private:
    void sendRegion(const QWidget* widget, const QRect* rect, Waveform w, bool fullUpdate,
                    ScreenCommand::WaitMode wait, bool respectEnabled);
    void drain(int ms);
    Waveform resolved(Waveform w) const;

    bool enabled = true;
    WaveformPolicy storedPolicy = DEFAULT_POLICY;
    Waveform fallbackWaveform = GC;
    QRect region;
    int updatesPerGc = 1;
    int guSinceGc = 0;
};

} // namespace screen
} // namespace vexa

Q_DECLARE_METATYPE(vexa::screen::ScreenProxy::Waveform)
