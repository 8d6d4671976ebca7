#include "serviceorigin.h"
#include "startupsettings.h"
#include "testhelpers.h"

#include <QtTest>

class TestStartupSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ServiceOrigin::overrideForTests(QStringLiteral("https://service.test")); }

    void reads_data();
    void reads();
};

void TestStartupSettings::reads_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("mainUrl");
    QTest::addColumn<int>("timeout");

    const QString login = QStringLiteral("https://service.test/accounts/login");

    QTest::newRow("no file") << false << QByteArray() << login << 500;
    QTest::newRow("empty file") << true << QByteArray() << login << 500;
    QTest::newRow("mainUrl empty") << true << QByteArray("[General]\nmainUrl=\n") << login << 500;
    QTest::newRow("mainUrl set")
        << true << QByteArray("[General]\nmainUrl=https://other.test/start?x=1\n")
        << QStringLiteral("https://other.test/start?x=1") << 500;
    QTest::newRow("mainUrl before any section")
        << true << QByteArray("mainUrl=https://other.test/\n") << QStringLiteral("https://other.test/") << 500;
    QTest::newRow("mainUrl with a comma kept whole")
        << true << QByteArray("[General]\nmainUrl=https://other.test/?ids=1,2\n")
        << QStringLiteral("https://other.test/?ids=1,2") << 500;
    QTest::newRow("mainUrl unchanged, not validated")
        << true << QByteArray("[General]\nmainUrl=not a url\n") << QStringLiteral("not a url") << 500;
    QTest::newRow("timeout number") << true << QByteArray("[General]\ntimeout=1500\n") << login << 1500;
    QTest::newRow("timeout negative") << true << QByteArray("[General]\ntimeout=-20\n") << login << -20;
    QTest::newRow("timeout zero") << true << QByteArray("[General]\ntimeout=0\n") << login << 0;
    QTest::newRow("timeout not a number") << true << QByteArray("[General]\ntimeout=abc\n") << login << 0;
    QTest::newRow("timeout empty") << true << QByteArray("[General]\ntimeout=\n") << login << 0;
    QTest::newRow("timeout with trailing text") << true << QByteArray("[General]\ntimeout=15ms\n") << login << 0;
    QTest::newRow("timeout hexadecimal is not base 10") << true << QByteArray("[General]\ntimeout=0x10\n") << login << 0;
    QTest::newRow("timeout too large for 32 bits")
        << true << QByteArray("[General]\ntimeout=99999999999\n") << login << 0;
    QTest::newRow("other sections ignored")
        << true << QByteArray("[Other]\nmainUrl=https://x.test/\ntimeout=7\n") << login << 500;
    QTest::newRow("garbage file")
        << true << QByteArray("\x01\x02[[[=\n==\xff\xfe\n") << login << 500;
}

void TestStartupSettings::reads()
{
    QFETCH(bool, withFile);
    QFETCH(QByteArray, contents);
    QFETCH(QString, mainUrl);
    QFETCH(int, timeout);

    ScopedWorkDir workDir;
    if (withFile)
        writeSettingsFile(contents);

    const StartupSettings settings = readStartupSettings();
    QCOMPARE(settings.mainUrl, mainUrl);
    QCOMPARE(settings.timeout, timeout);
}

QTEST_GUILESS_MAIN(TestStartupSettings)
#include "tst_startupsettings.moc"
