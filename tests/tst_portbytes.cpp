#include "portencoding.h"

#include <QtTest>

// The bytes a receipt printer gets: code pages, ESC t n, and what cannot go.
class TestPortBytes : public QObject
{
    Q_OBJECT

private slots:
    void bytes_data();
    void bytes();
};

void TestPortBytes::bytes_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("codeTable");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("replaced");
    QTest::addColumn<bool>("ok");

    const QString croatian = QStringLiteral("ČćĐšž");
    QTest::newRow("none is UTF-8") << "" << "" << croatian << croatian.toUtf8() << 0 << true;
    QTest::newRow("UTF-8 by name, any case") << "utf-8" << "" << croatian << croatian.toUtf8() << 0 << true;
    QTest::newRow("CP852") << "CP852" << "" << croatian << QByteArray("\xac\x86\xd1\xe7\xa7") << 0 << true;
    QTest::newRow("CP852 with ESC t 18") << "cp852" << "18" << croatian
                                         << QByteArray("\x1b\x74\x12\xac\x86\xd1\xe7\xa7") << 0 << true;
    QTest::newRow("CP1250") << "CP1250" << "" << croatian << QByteArray("\xc8\xe6\xd0\x9a\x9e") << 0 << true;
    QTest::newRow("ISO-8859-2") << "ISO-8859-2" << "" << croatian << QByteArray("\xc8\xe6\xd0\xb9\xbe") << 0 << true;
    QTest::newRow("CP437 lacks them all") << "CP437" << "" << croatian << QByteArray("?????") << 5 << true;
    QTest::newRow("CP850 lacks them all") << "CP850" << "" << croatian << QByteArray("?????") << 5 << true;
    QTest::newRow("CP858 has the euro") << "CP858" << "" << QStringLiteral("5 € ?") << QByteArray("5 \xd5 ?") << 0
                                        << true;
    QTest::newRow("code table alone") << "" << "0" << "a" << QByteArray("\x1b\x74\x00" "a", 4) << 0 << true;
    QTest::newRow("zero characters sent") << "CP852" << "" << QString(QStringLiteral("ab") + QChar(0) + QStringLiteral("č"))
                                          << QByteArray("ab\0\x9f", 4) << 0 << true;
    QTest::newRow("unknown encoding") << "CP999" << "" << croatian << QByteArray() << 0 << false;
    QTest::newRow("code table too big") << "" << "256" << croatian << QByteArray() << 0 << false;
    QTest::newRow("code table not a number") << "" << "x" << croatian << QByteArray() << 0 << false;
}

void TestPortBytes::bytes()
{
    QFETCH(QString, encoding);
    QFETCH(QString, codeTable);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(int, replaced);
    QFETCH(bool, ok);

    const PortBytes got = portBytes(text, encoding, codeTable);
    QCOMPARE(got.ok(), ok);
    QCOMPARE(got.bytes, bytes);
    QCOMPARE(got.replaced, replaced);
}

QTEST_GUILESS_MAIN(TestPortBytes)
#include "tst_portbytes.moc"
