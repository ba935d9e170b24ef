#include "platform/sys/deviceconfig.h"
#include "support/sandbox.h"
#include "platform/sys/systemconfig.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using sys::DeviceConfig;
using sys::SystemConfig;

class TestDeviceConfig : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString cpuFile(const QString& name, const QByteArray& text)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(text);
        return path;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(m_dir.isValid());
    }

    void processorText()
    {
        const QString board = cpuFile("board",
            "Processor\t: ARMv7 Processor rev 2 (v7l)\n"
            "BogoMIPS\t: 398.13\n"
            "Features\t: swp half thumb fastmult vfp edsp neon\n"
            "\n"
            "Hardware\t: Board X\n"
            "Revision\t: 0000\n");
        QCOMPARE(DeviceConfig::cpuInfo(board), QString("Board X 398 MHz"));

        const QString none = cpuFile("none", "processor\t: 0\nbogomips\t: 4800.00\n");
        QCOMPARE(DeviceConfig::cpuInfo(none), QString("  MHz"));

        // Two cores list their BogoMIPS twice; the figure is still one.
        const QString dual = cpuFile("dual",
            "processor\t: 0\nBogoMIPS\t: 1196.85\n\n"
            "processor\t: 1\nBogoMIPS\t: 1199.12\n\n"
            "Hardware\t: Freescale i.MX 6SoloLite\n");
        QCOMPARE(DeviceConfig::cpuInfo(dual), QString("Freescale i.MX 6SoloLite 1196 MHz"));

        // No colon: the whole line; no dot: the whole figure.
        const QString bare = cpuFile("bare", "  Hardware X1  \nBogoMIPS: 400\n");
        QCOMPARE(DeviceConfig::cpuInfo(bare), QString("Hardware X1 400 MHz"));

        QCOMPARE(DeviceConfig::cpuInfo(m_dir.filePath("missing")), QString());
        QVERIFY(SystemConfig::cpuInfo().endsWith(" MHz"));
    }

    void memoryText()
    {
        QCOMPARE(DeviceConfig::memInfo(quint64(5) << 30, quint64(8) << 30),
                 QString("5120/8192 MB"));
        QCOMPARE(DeviceConfig::memInfo((1 << 20) + (1 << 19), (256 << 20) - 1),
                 QString("1/255 MB"));

        const QRegularExpressionMatch m =
            QRegularExpression("^(\\d+)/(\\d+) MB$").match(SystemConfig::memInfo());
        QVERIFY2(m.hasMatch(), qPrintable(SystemConfig::memInfo()));
        QVERIFY(m.captured(2).toULongLong() > 0);
        QVERIFY(m.captured(1).toULongLong() <= m.captured(2).toULongLong());

        // The total agrees with the kernel's own figure, also above 4 GiB.
        QFile meminfo("/proc/meminfo");
        QVERIFY(meminfo.open(QIODevice::ReadOnly | QIODevice::Text));
        const QRegularExpressionMatch kb =
            QRegularExpression("MemTotal:\\s+(\\d+) kB").match(QString(meminfo.readAll()));
        QVERIFY(kb.hasMatch());
        QVERIFY(qAbs(qint64(kb.captured(1).toULongLong() >> 10)
                     - qint64(m.captured(2).toULongLong())) <= 1);
    }

    void versionIsCachedOnceSeen()
    {
        qunsetenv("VERSION");
        QCOMPARE(SystemConfig::version(), QString());
        qputenv("VERSION", "2.1.7");
        QCOMPARE(SystemConfig::version(), QString("2.1.7"));
        qputenv("VERSION", "3.0");
        QCOMPARE(SystemConfig::version(), QString("2.1.7"));
        qunsetenv("VERSION");
        QCOMPARE(SystemConfig::version(), QString("2.1.7"));
    }
};

QTEST_GUILESS_MAIN(TestDeviceConfig)
#include "tst_deviceconfig.moc"
