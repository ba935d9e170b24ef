#pragma once

#include <QImage>
#include <QString>
#include <QtTest>

// After a step: the panel settles and shows exactly what the framebuffer
// holds (the outline drawn on the panel only is not counted as stale).
#define VERIFY_PANEL(device, step)                                                                  \
    do {                                                                                            \
        QString why_;                                                                               \
        QVERIFY2((device).panelMatches(QStringLiteral(step), &why_), qPrintable(why_));             \
    } while (false)

// Rows of the picture crossed by a dark run at least minRun pixels long
// (the frames the list draws around selected rows, rules, borders).
inline int longDarkRows(const QImage& image, int minRun, int top = 0, int bottom = -1)
{
    if (bottom < 0)
        bottom = image.height() - 1;
    int rows = 0;
    for (int y = qMax(0, top); y <= bottom && y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        int run = 0, best = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = line[x] < 128 ? run + 1 : 0;
            best = qMax(best, run);
        }
        if (best >= minRun)
            ++rows;
    }
    return rows;
}

// A line edit's text cursor would blink by itself, changing the framebuffer
// with nothing sent to the panel; the program keeps it steady. Watched over
// more than a blink period: no stale pixel at any time.
constexpr int kBlinkSampleMs = 1300;
#define VERIFY_PANEL_WITH_TEXT_CURSOR(device, step)                                                 \
    do {                                                                                            \
        QString why_;                                                                               \
        (device).panelMatches(QStringLiteral(step), &why_);                                         \
        const qint64 most_ = (device).mostStalePixels(kBlinkSampleMs);                              \
        QVERIFY2(most_ == 0, qPrintable(QStringLiteral(step ": %1 stale pixels; %2")                \
                                            .arg(most_).arg(why_)));                                \
    } while (false)
