#include "maybeprinterinfo.h"
#include "outputchoice.h"

#include <QtTest>

// The choices behind the settings dialog, without the dialog.
class TestOutputChoice : public QObject
{
    Q_OBJECT

private slots:
    void entries();
    void findSavedEntry_data();
    void findSavedEntry();
    void selectionToSave_data();
    void selectionToSave();
};

void TestOutputChoice::entries()
{
    const QList<PortEntry> list = portEntries({QStringLiteral("Ured"), QStringLiteral("COM1")});
    QStringList texts;
    for (const PortEntry &entry : list)
        texts << entry.text;
    QCOMPARE(texts, (QStringList{"Ured", "COM1", "COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2"}));
    QCOMPARE(list.at(0).info, PrinterInfo(QStringLiteral("Ured"), false, QString()));
    QCOMPARE(list.at(1).info, PrinterInfo(QStringLiteral("COM1"), false, QString()));
    QCOMPARE(list.at(2).info, PrinterInfo(QStringLiteral("COM1"), true, QStringLiteral("COM1")));
    QCOMPARE(list.at(7).info, PrinterInfo(QStringLiteral("LPT2"), true, QStringLiteral("LPT2")));
}

void TestOutputChoice::findSavedEntry_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("printerPort");
    QTest::addColumn<QString>("friendlyName");
    QTest::addColumn<int>("index");

    const QStringList list{"Ured", "COM1", "COM1", "LPT1"};
    QTest::newRow("by printerPort") << list << "LPT1" << "" << 3;
    QTest::newRow("first of two equal texts") << list << "COM1" << "COM1" << 1;
    QTest::newRow("by friendlyName when printerPort is not listed") << list << "LPT 1 (old)" << "LPT1" << 3;
    QTest::newRow("printerPort before friendlyName") << list << "Ured" << "LPT1" << 0;
    QTest::newRow("letter case matters") << list << "ured" << "" << -1;
    QTest::newRow("not listed at all") << list << "COM7" << "" << -1;
    QTest::newRow("empty friendlyName matches no entry") << list << "Stari" << "" << -1;
    QTest::newRow("empty list") << QStringList() << "COM1" << "COM1" << -1;
}

void TestOutputChoice::findSavedEntry()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, printerPort);
    QFETCH(QString, friendlyName);
    QFETCH(int, index);
    QCOMPARE(::findSavedEntry(texts, PrinterInfo(printerPort, true, friendlyName)), index);
}

void TestOutputChoice::selectionToSave_data()
{
    QTest::addColumn<bool>("editorHidden");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<MaybeInfo>("current");
    QTest::addColumn<MaybeInfo>("saved");

    const PrinterInfo ured(QStringLiteral("Ured"), false, QString());
    QTest::newRow("editor hidden: the current entry") << true << "COM9" << MaybeInfo(ured) << MaybeInfo(ured);
    QTest::newRow("editor hidden, empty list: nothing") << true << "" << MaybeInfo() << MaybeInfo();
    QTest::newRow("editor shown: the typed port")
        << false << "COM9" << MaybeInfo(ured) << MaybeInfo(PrinterInfo(QStringLiteral("COM9"), true, QString()));
    QTest::newRow("editor shown, empty: nothing at all") << false << "" << MaybeInfo(ured) << MaybeInfo();
    QTest::newRow("typed text unchanged")
        << false << " /dev/usb/lp0\nx " << MaybeInfo()
        << MaybeInfo(PrinterInfo(QStringLiteral(" /dev/usb/lp0\nx "), true, QString()));
}

void TestOutputChoice::selectionToSave()
{
    QFETCH(bool, editorHidden);
    QFETCH(QString, typed);
    QFETCH(MaybeInfo, current);
    QFETCH(MaybeInfo, saved);
    QCOMPARE(::selectionToSave(editorHidden, typed, current), saved);
}

QTEST_GUILESS_MAIN(TestOutputChoice)
#include "tst_outputchoice.moc"
