#include "outputsetup.h"

#include <QtTest>

// Where invoices go for each output selection the settings file may hold.
class TestOutputSetup : public QObject
{
    Q_OBJECT

private slots:
    void decides_data();
    void decides();
};

void TestOutputSetup::decides_data()
{
    QTest::addColumn<bool>("hasMode");
    QTest::addColumn<bool>("hasPort");
    QTest::addColumn<bool>("useSerialPort");
    QTest::addColumn<bool>("portModeNow");
    QTest::addColumn<bool>("portMode");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("printer");

    const QString name = QStringLiteral("Kasa");
    QTest::newRow("port named") << true << true << true << false << true << name << QString();
    QTest::newRow("printer named") << true << true << false << true << false << QString() << name;
    QTest::newRow("port mode, no name: no port") << true << false << true << false << true << QString() << QString();
    QTest::newRow("printer mode, no name: default printer")
        << true << false << false << true << false << QString() << QString();
    QTest::newRow("no mode keeps port mode, without a port")
        << false << true << false << true << true << QString() << QString();
    QTest::newRow("no mode keeps printer mode, on the default printer")
        << false << true << true << false << false << QString() << QString();
}

void TestOutputSetup::decides()
{
    QFETCH(bool, hasMode);
    QFETCH(bool, hasPort);
    QFETCH(bool, useSerialPort);
    QFETCH(bool, portModeNow);
    QFETCH(bool, portMode);
    QFETCH(QString, port);
    QFETCH(QString, printer);

    OutputSelection selection;
    selection.hasMode = hasMode;
    selection.hasPort = hasPort;
    selection.choice = PrinterInfo(QStringLiteral("Kasa"), useSerialPort, QString());
    const OutputSetup setup = decideOutput(selection, portModeNow);
    QCOMPARE(setup.useSerialPort, portMode);
    QCOMPARE(setup.portName, port);
    QCOMPARE(setup.printerName, printer);
}

QTEST_GUILESS_MAIN(TestOutputSetup)
#include "tst_outputsetup.moc"
