#include "fileops/progressline.h"

#include <QtTest>

class TestProgressLine : public QObject
{
    Q_OBJECT

private slots:
    void rateTable_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("rate");
        // Five million bytes in 3.1 s.
        QTest::newRow("MB, two decimals") << qint64(5000000) << qint64(3100) << "1.54 MB/sec.";
        QTest::newRow("whole KB") << qint64(5000000) << qint64(10000) << "488 KB/sec.";
        QTest::newRow("KB, one decimal") << qint64(500000) << qint64(10000) << "48.8 KB/sec.";
        QTest::newRow("bytes, truncated") << qint64(9007) << qint64(10000) << "900 bytes/sec.";
        // The row edges: exactly 1 MiB/s, 100 KiB/s, 1 KiB/s per second.
        QTest::newRow("1 MiB edge") << qint64(3 * 1048576) << qint64(3000) << "1.00 MB/sec.";
        QTest::newRow("just under 1 MiB") << qint64(3 * 1048575) << qint64(3000) << "1023 KB/sec.";
        QTest::newRow("100 KiB edge") << qint64(3 * 102400) << qint64(3000) << "100 KB/sec.";
        QTest::newRow("just under 100 KiB") << qint64(3 * 102399) << qint64(3000) << "100.0 KB/sec.";
        QTest::newRow("1 KiB edge") << qint64(3 * 1024) << qint64(3000) << "1.0 KB/sec.";
        QTest::newRow("just under 1 KiB") << qint64(3 * 1023) << qint64(3000) << "1023 bytes/sec.";
        QTest::newRow("nothing yet") << qint64(0) << qint64(3000) << "0 bytes/sec.";
        // Gigabytes per second stay in MB, without grouping.
        QTest::newRow("big") << qint64(3) * 5000 * 1048576 << qint64(3000) << "5000.00 MB/sec.";
    }

    void rateTable()
    {
        QFETCH(qint64, bytes);
        QFETCH(qint64, ms);
        QFETCH(QString, rate);
        QCOMPARE(progressLine(2, 37, true, bytes, ms), "dirs: 2, files: 37, transfer rate: " + rate);
    }

    void itemRateAndLocale()
    {
        // 120 items after 4 s; dirs and files both count as items.
        QCOMPARE(progressLine(20, 100, false, 123456789, 4000), QStringLiteral("dirs: 20, files: 100, rate: 30 items/sec."));
        QCOMPARE(progressLine(0, 7, false, 0, 3001), QStringLiteral("dirs: 0, files: 7, rate: 2 items/sec."));
        // Counts are plain decimals and the point stays a point whatever the
        // locale says.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(progressLine(1234, 56789, true, 5000000, 3100),
                 QStringLiteral("dirs: 1234, files: 56789, transfer rate: 1.54 MB/sec."));
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_APPLESS_MAIN(TestProgressLine)
#include "tst_progressline.moc"
