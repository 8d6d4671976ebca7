#include "maybeprinterinfo.h"
#include "settingsfile.h"
#include "testhelpers.h"

#include <QtTest>

// settings.ini as a user or an IT person may have written it.
class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void startup_data();
    void startup();
    void outputSelection_data();
    void outputSelection();
};

void TestSettingsFile::startup_data()
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
    QTest::newRow("byte-order mark before the first key")
        << true << QByteArray("\xEF\xBB\xBFmainUrl=https://other.test/\ntimeout=7\n")
        << QStringLiteral("https://other.test/") << 7;
    QTest::newRow("byte-order mark before the section")
        << true << QByteArray("\xEF\xBB\xBF[General]\nmainUrl=https://other.test/\ntimeout=7\n")
        << QStringLiteral("https://other.test/") << 7;
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

void TestSettingsFile::startup()
{
    QFETCH(bool, withFile);
    QFETCH(QByteArray, contents);
    QFETCH(QString, mainUrl);
    QFETCH(int, timeout);

    ScopedWorkDir workDir;
    if (withFile)
        writeSettingsFile(contents);

    const StartupSettings settings =
        SettingsFile(QStringLiteral("settings.ini")).startup(QStringLiteral("https://service.test"));
    QCOMPARE(settings.mainUrl, mainUrl);
    QCOMPARE(settings.timeout, timeout);
}

void TestSettingsFile::outputSelection_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<MaybeInfo>("saved");

    QTest::newRow("no keys") << QByteArray() << MaybeInfo();
    QTest::newRow("no useSerialPort") << QByteArray("printerPort=COM2\n") << MaybeInfo();
    QTest::newRow("no printerPort") << QByteArray("useSerialPort=true\n") << MaybeInfo();
    QTest::newRow("all three")
        << QByteArray("[General]\nprinterPort=COM2\nuseSerialPort=true\nfriendlyName=COM2\n")
        << MaybeInfo(PrinterInfo(QStringLiteral("COM2"), true, QStringLiteral("COM2")));
    QTest::newRow("friendlyName missing reads empty")
        << QByteArray("[General]\nprinterPort=COM7\nuseSerialPort=true\n")
        << MaybeInfo(PrinterInfo(QStringLiteral("COM7"), true, QString()));
    QTest::newRow("hand-written boolean")
        << QByteArray("[General]\nprinterPort=Ured\nuseSerialPort=False\n")
        << MaybeInfo(PrinterInfo(QStringLiteral("Ured"), false, QString()));
    QTest::newRow("any other text is true")
        << QByteArray("[General]\nprinterPort=X\nuseSerialPort=yes\n")
        << MaybeInfo(PrinterInfo(QStringLiteral("X"), true, QString()));
    QTest::newRow("printer name with a comma")
        << QByteArray("[General]\nprinterPort=HP,Ured\nuseSerialPort=false\n")
        << MaybeInfo(PrinterInfo(QStringLiteral("HP,Ured"), false, QString()));
}

void TestSettingsFile::outputSelection()
{
    QFETCH(QByteArray, file);
    QFETCH(MaybeInfo, saved);
    ScopedWorkDir workDir;
    writeSettingsFile(file);
    QCOMPARE(SettingsFile(QStringLiteral("settings.ini")).outputSelection().complete(), saved);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
