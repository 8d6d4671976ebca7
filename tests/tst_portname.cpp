#include "portname.h"

#include <QtTest>

class TestPortName : public QObject
{
    Q_OBJECT

private slots:
    void maps_data();
    void maps();
};

void TestPortName::maps_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");

    QTest::newRow("COM1 is the first serial port") << QStringLiteral("COM1") << QStringLiteral("/dev/ttyS0");
    QTest::newRow("COM4") << QStringLiteral("COM4") << QStringLiteral("/dev/ttyS3");
    QTest::newRow("COM10 and above") << QStringLiteral("COM12") << QStringLiteral("/dev/ttyS11");
    QTest::newRow("LPT1 is the first parallel port") << QStringLiteral("LPT1") << QStringLiteral("/dev/lp0");
    QTest::newRow("LPT2") << QStringLiteral("LPT2") << QStringLiteral("/dev/lp1");
    QTest::newRow("device path as it is") << QStringLiteral("/dev/usb/lp0") << QStringLiteral("/dev/usb/lp0");
    QTest::newRow("pty path as it is") << QStringLiteral("/dev/pts/7") << QStringLiteral("/dev/pts/7");
    QTest::newRow("other name under /dev") << QStringLiteral("ttyUSB0") << QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("COM0 is no numbered port") << QStringLiteral("COM0") << QStringLiteral("/dev/COM0");
    QTest::newRow("letter case kept") << QStringLiteral("com1") << QStringLiteral("/dev/com1");
    QTest::newRow("no trimming") << QStringLiteral("COM1 ") << QStringLiteral("/dev/COM1 ");
    QTest::newRow("empty name is no device") << QString() << QString();
}

void TestPortName::maps()
{
    QFETCH(QString, name);
    QFETCH(QString, device);
    QCOMPARE(devicePathFor(name), device);
}

QTEST_GUILESS_MAIN(TestPortName)
#include "tst_portname.moc"
