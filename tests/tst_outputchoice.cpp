#include "maybeprinterinfo.h"
#include "outputchoice.h"

#include <QtTest>

// The choices behind the settings dialog, without the dialog.
class TestOutputChoice : public QObject
{
    Q_OBJECT

private slots:
    void entries();
    void entryInUse_data();
    void entryInUse();
    void selectionToSave_data();
    void selectionToSave();
};

void TestOutputChoice::entries()
{
    const QList<PortEntry> list = portEntries({QStringLiteral("Ured"), QStringLiteral("COM1")}, QStringLiteral("Ured"));
    QStringList texts;
    for (const PortEntry &entry : list)
        texts << entry.text;
    QCOMPARE(texts, (QStringList{"Pisač: Ured (zadani)", "Pisač: COM1", "Port: COM1 (/dev/ttyS0)",
                                 "Port: COM2 (/dev/ttyS1)", "Port: COM3 (/dev/ttyS2)", "Port: COM4 (/dev/ttyS3)",
                                 "Port: LPT1 (/dev/lp0)", "Port: LPT2 (/dev/lp1)"}));
    QCOMPARE(list.at(0).info, PrinterInfo(QStringLiteral("Ured"), false, QString()));
    QCOMPARE(list.at(1).info, PrinterInfo(QStringLiteral("COM1"), false, QString()));
    QCOMPARE(list.at(2).info, PrinterInfo(QStringLiteral("COM1"), true, QStringLiteral("COM1")));
    QCOMPARE(list.at(7).info, PrinterInfo(QStringLiteral("LPT2"), true, QStringLiteral("LPT2")));
    QCOMPARE(portEntryText(QStringLiteral("../x")), QStringLiteral("Port: ../x (neispravan naziv)"));
}

void TestOutputChoice::entryInUse_data()
{
    QTest::addColumn<bool>("portMode");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("friendlyName");
    QTest::addColumn<QString>("defaultPrinter");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("note");

    // entries: Ured, Blagajna, the printer queue COM1, then ports COM1..LPT2
    QTest::newRow("port by name") << true << "LPT1" << "" << "Ured" << 7 << "";
    QTest::newRow("a port, not the queue of its name") << true << "COM1" << "COM1" << "Ured" << 3 << "";
    QTest::newRow("port by friendlyName") << true << "LPT 1 (old)" << "LPT1" << "" << 7 << "";
    QTest::newRow("port not listed") << true << "COM7" << "" << "Ured" << -1 << "";
    QTest::newRow("printer by name") << false << "Blagajna" << "" << "Ured" << 1 << "";
    QTest::newRow("no printer named: the default") << false << "" << "" << "Blagajna" << 1 << "";
    QTest::newRow("letter case matters: the default, said")
        << false << "ured" << "" << "Blagajna" << 1 << "Pisač „ured” nije instaliran; računi idu na zadani pisač Blagajna.";
    QTest::newRow("removed printer, no default") << false << "Stari" << "" << "" << -1
                                                 << "Pisač „Stari” nije instaliran, a zadanog pisača nema.";
}

void TestOutputChoice::entryInUse()
{
    QFETCH(bool, portMode);
    QFETCH(QString, name);
    QFETCH(QString, friendlyName);
    QFETCH(QString, defaultPrinter);
    QFETCH(int, index);
    QFETCH(QString, note);

    const QList<PortEntry> list =
        portEntries({QStringLiteral("Ured"), QStringLiteral("Blagajna"), QStringLiteral("COM1")}, defaultPrinter);
    QString said;
    QCOMPARE(::entryInUse(list, portMode, name, friendlyName, defaultPrinter, &said), index);
    QCOMPARE(said, note);
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
    QTest::newRow("blanks around the typed name go")
        << false << " /dev/usb/lp0\t" << MaybeInfo() << MaybeInfo(PrinterInfo(QStringLiteral("/dev/usb/lp0"), true, QString()));
    QTest::newRow("only blanks: nothing at all") << false << "  " << MaybeInfo(ured) << MaybeInfo();
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
