#pragma once

// One table for both mappings of the rotated (logical) screen onto the
// panel: the screen client's (seen in the refresh watcher's outline) and the
// panel emulator's. They must never drift apart.

#include <QRect>
#include <QSize>
#include <QtTest>

namespace support {

// Adds the columns degrees, screen (the logical screen's size), logical (a
// rectangle on it) and panel (where it lies on the panel, not clipped) and
// one row per case.
inline void addRotationRows()
{
    QTest::addColumn<int>("degrees");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRect>("logical");
    QTest::addColumn<QRect>("panel");

    const QSize portrait(600, 800);
    const QSize landscape(800, 600);
    const QRect outline(QPoint(10, 20), QPoint(109, 59));
    QTest::newRow("upright") << 0 << portrait << outline << outline;
    QTest::newRow("quarter") << 90 << portrait << outline << QRect(20, 490, 40, 100);
    QTest::newRow("quarter, corner") << 90 << portrait << QRect(0, 0, 100, 50)
                                     << QRect(0, 500, 50, 100);
    QTest::newRow("half") << 180 << portrait << outline << QRect(490, 740, 100, 40);
    QTest::newRow("three quarters") << 270 << portrait << outline << QRect(740, 10, 40, 100);
    QTest::newRow("three quarters, landscape") << 270 << landscape << QRect(0, 0, 100, 50)
                                               << QRect(550, 0, 50, 100);
    QTest::newRow("quarter, whole screen") << 90 << portrait << QRect(QPoint(0, 0), portrait)
                                           << QRect(QPoint(0, 0), landscape);
}

} // namespace support
