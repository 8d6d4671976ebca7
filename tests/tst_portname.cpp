#include "portname.h"

#include <QtTest>

class TestPortName : public QObject
{
    Q_OBJECT

private slots:
    void maps_data();
    void maps();
    void networkPrinters_data();
    void networkPrinters();
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
    QTest::newRow("a network printer is its address") << QStringLiteral("192.168.1.50:9100")
                                                      << QStringLiteral("192.168.1.50:9100");
}

void TestPortName::maps()
{
    QFETCH(QString, name);
    QFETCH(QString, device);
    QCOMPARE(devicePathFor(name), device);
}

void TestPortName::networkPrinters_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("host"); // empty: not a network printer
    QTest::addColumn<int>("port");

    QTest::newRow("IPv4 and port") << "192.168.1.50:9100" << "192.168.1.50" << 9100;
    QTest::newRow("host name") << "kasa-pisac.lan:9100" << "kasa-pisac.lan" << 9100;
    QTest::newRow("IPv6 in brackets") << "[fe80::1]:9100" << "fe80::1" << 9100;
    QTest::newRow("loopback IPv6") << "[::1]:1" << "::1" << 1;
    QTest::newRow("highest port") << "p:65535" << "p" << 65535;
    QTest::newRow("port 0") << "p:0" << "" << 0;
    QTest::newRow("port too high") << "p:65536" << "" << 0;
    QTest::newRow("no port") << "192.168.1.50" << "" << 0;
    QTest::newRow("IPv6 without brackets") << "fe80::1:9100" << "" << 0;
    QTest::newRow("serial port") << "COM1" << "" << 0;
    QTest::newRow("device path") << "/dev/usb/lp0" << "" << 0;
    QTest::newRow("a path with a colon") << "/dev/x:9100" << "" << 0;
    QTest::newRow("blank in the name") << "p :9100" << "" << 0;
}

void TestPortName::networkPrinters()
{
    QFETCH(QString, name);
    QFETCH(QString, host);
    QFETCH(int, port);
    const std::optional<NetworkPrinterAddress> address = networkPrinterAddress(name);
    QCOMPARE(address.has_value(), !host.isEmpty());
    if (address) {
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
    }
}

QTEST_GUILESS_MAIN(TestPortName)
#include "tst_portname.moc"
