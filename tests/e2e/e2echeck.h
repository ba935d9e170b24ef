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

// A line edit's text cursor blinks by itself: the framebuffer changes every
// half second and nothing sends it to the panel, so the panel shows it in
// one phase or the other. Over more than a blink period: the stale pixels
// never exceed the cursor (the dialog itself reached the panel), and, as
// an expected failure until the program stops the blinking, are never
// above zero.
constexpr int kBlinkSampleMs = 1300;
constexpr int kTextCursorPixels = 40;
#define VERIFY_PANEL_WITH_TEXT_CURSOR(device, step)                                                 \
    do {                                                                                            \
        QString why_;                                                                               \
        (device).panelMatches(QStringLiteral(step), &why_);                                         \
        const qint64 most_ = (device).mostStalePixels(kBlinkSampleMs);                              \
        QVERIFY2(most_ <= kTextCursorPixels,                                                        \
                 qPrintable(QStringLiteral(step ": %1 stale pixels, more than a text cursor; %2")   \
                                .arg(most_).arg(why_)));                                            \
        qInfo("%s: at most %lld stale pixels over %d ms", step, qint64(most_), kBlinkSampleMs);    \
        QEXPECT_FAIL("", "the line edit's blinking text cursor never reaches the panel", Continue); \
        QVERIFY2(most_ == 0, qPrintable(QStringLiteral(step ": %1 stale pixels").arg(most_)));     \
    } while (false)
