// The running display's rotation comes from QWS_DISPLAY, read once.

#include "platform/sys/displayrotation.h"

#include <QtTest>

class DisplayRotationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readFromEnvironmentOnce()
    {
        // Set for this test by its CMake entry.
        QCOMPARE(qgetenv("QWS_DISPLAY"), QByteArray("Transformed:Rot270:VexaScreen:/dev/mem"));
        QCOMPARE(sys::DisplayRotation::degrees(), 270);
        qputenv("QWS_DISPLAY", "Transformed:Rot90:VexaScreen:/dev/mem");
        QCOMPARE(sys::DisplayRotation::degrees(), 270);
        sys::DisplayRotation::setDegrees(180);
        QCOMPARE(sys::DisplayRotation::degrees(), 180);
        sys::DisplayRotation::setDegrees(-90);
        QCOMPARE(sys::DisplayRotation::degrees(), 0);
    }
};

QTEST_GUILESS_MAIN(DisplayRotationTest)
#include "tst_displayrotation.moc"
