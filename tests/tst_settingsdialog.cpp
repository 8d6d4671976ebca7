#include "buildconfig.h"
#include "cupsscheduler.h"
#include "outputchoice.h"
#include "settings.h"
#include "testhelpers.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTextEdit>
#include <QtTest>

#include <memory>

// The settings dialog driven as a user drives it, with printers from a
// private CUPS scheduler; the settings file is read back after each step.
class TestSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fillsAndPreselects_data();
    void fillsAndPreselects();
    void emptyEditorWritesNothing();
    void typedPortWritten_data();
    void typedPortWritten();
    void pickAfterTypingWritesPick();
    void leavingWritesNothing_data();
    void leavingWritesNothing();
    void unknownKeysSurvive();
    void versionAndMetaType();

private:
    void openDialog();
    void setPrinters(const QStringList &printers);
    template <typename T> T *widget(const char *name) const { return dialog->findChild<T *>(QLatin1String(name)); }
    QComboBox *combo() const { return widget<QComboBox>("cbPrinterPorts"); }
    QTextEdit *editor() const { return widget<QTextEdit>("txtPortName"); }
    QStringList entries() const;
    void click(const char *name) { QTest::mouseClick(widget<QPushButton>(name), Qt::LeftButton); }
    void clickOk() { QTest::mouseClick(widget<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Ok), Qt::LeftButton); }
    QVariant saved(const char *key) const
    {
        return QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat).value(QLatin1String(key));
    }

    CupsScheduler cups;
    QStringList installed;
    std::unique_ptr<ScopedWorkDir> workDir;
    std::unique_ptr<Settings> dialog;
};

void TestSettingsDialog::initTestCase()
{
    QVERIFY(cups.start({}, QString()));
}

void TestSettingsDialog::init()
{
    workDir = std::make_unique<ScopedWorkDir>();
    setPrinters({});
}

void TestSettingsDialog::cleanup()
{
    dialog.reset();
    workDir.reset();
}

void TestSettingsDialog::setPrinters(const QStringList &printers)
{
    for (const QString &name : installed)
        QVERIFY(cups.removePrinter(name));
    installed.clear();
    for (const QString &name : printers) {
        QVERIFY(cups.addPrinter(name));
        installed << name;
    }
}

void TestSettingsDialog::openDialog()
{
    // The service is never asked: the update button is tried in tst_updates.
    dialog = std::make_unique<Settings>(testContext(QStringLiteral("https://127.0.0.1:1")), nullptr);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
}

QStringList TestSettingsDialog::entries() const
{
    QStringList texts;
    for (int i = 0; i < combo()->count(); ++i)
        texts << combo()->itemText(i);
    return texts;
}

void TestSettingsDialog::fillsAndPreselects_data()
{
    QTest::addColumn<QStringList>("printers");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("current");
    QTest::addColumn<QStringList>("written"); // printerPort, useSerialPort, friendlyName after OK

    const QStringList ports{"COM1", "COM2", "COM3", "COM4", "LPT1", "LPT2"};
    QTest::newRow("no printers, no file") << QStringList() << QByteArray() << ports << 0
                                          << QStringList{"COM1", "true", "COM1"};
    QTest::newRow("printers first, the first is current")
        << QStringList{"Blagajna", "Ured"} << QByteArray() << QStringList{"Blagajna", "Ured"} + ports << 0
        << QStringList{"Blagajna", "false", ""};
    QTest::newRow("file without useSerialPort selects nothing")
        << QStringList{"Blagajna"} << QByteArray("printerPort=LPT1\n") << QStringList{"Blagajna"} + ports << 0
        << QStringList{"Blagajna", "false", ""};
    QTest::newRow("saved fixed port")
        << QStringList() << QByteArray("printerPort=LPT2\nuseSerialPort=true\nfriendlyName=LPT2\n") << ports << 5
        << QStringList{"LPT2", "true", "LPT2"};
    QTest::newRow("saved typed port COM7 appended")
        << QStringList() << QByteArray("printerPort=COM7\nuseSerialPort=true\nfriendlyName=\n")
        << ports + QStringList{"COM7"} << 6 << QStringList{"COM7", "true", ""};
    QTest::newRow("vanished printer appended")
        << QStringList{"Blagajna"} << QByteArray("printerPort=Stari\nuseSerialPort=false\nfriendlyName=\n")
        << QStringList{"Blagajna"} + ports + QStringList{"Stari"} << 7 << QStringList{"Stari", "false", ""};
    QTest::newRow("queue named COM1 comes first and wins")
        << QStringList{"COM1"} << QByteArray("printerPort=COM1\nuseSerialPort=true\nfriendlyName=COM1\n")
        << QStringList{"COM1"} + ports << 0 << QStringList{"COM1", "false", ""};
    QTest::newRow("found by friendly name")
        << QStringList() << QByteArray("printerPort=LPT2 (old)\nuseSerialPort=true\nfriendlyName=LPT2\n") << ports << 5
        << QStringList{"LPT2", "true", "LPT2"};
}

void TestSettingsDialog::fillsAndPreselects()
{
    QFETCH(QStringList, printers);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, shown);
    QFETCH(int, current);
    QFETCH(QStringList, written);

    setPrinters(printers);
    writeSettingsFile("[General]\n" + file);
    openDialog();
    QCOMPARE(entries(), shown);
    QCOMPARE(combo()->currentIndex(), current);
    QVERIFY(editor()->isHidden());
    QVERIFY(widget<QLabel>("lblPortName")->isHidden());

    clickOk();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE((QStringList{saved("printerPort").toString(), saved("useSerialPort").toString(),
                          saved("friendlyName").toString()}),
             written);
}

void TestSettingsDialog::emptyEditorWritesNothing()
{
    const QByteArray file = "[General]\nprinterPort=LPT1\nuseSerialPort=true\nfriendlyName=LPT1\n";
    writeSettingsFile(file);
    openDialog();
    click("btnAddPort");
    QVERIFY(!editor()->isHidden());
    QVERIFY(editor()->isVisible());
    clickOk();
    QCOMPARE(readFile(QStringLiteral("settings.ini")), file);
}

void TestSettingsDialog::typedPortWritten_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");

    QTest::newRow("a port name") << QStringLiteral("COM9") << QStringLiteral("COM9");
    QTest::newRow("a device path") << QStringLiteral("/dev/usb/lp0") << QStringLiteral("/dev/usb/lp0");
    QTest::newRow("spaces kept") << QStringLiteral(" COM9 ") << QStringLiteral(" COM9 ");
    QTest::newRow("a line break kept in one value") << QStringLiteral("COM\n9") << QStringLiteral("COM\n9");
    QTest::newRow("a comma kept") << QStringLiteral("a,b") << QStringLiteral("a,b");
}

void TestSettingsDialog::typedPortWritten()
{
    QFETCH(QString, typed);
    QFETCH(QString, written);

    setPrinters({QStringLiteral("Ured")});
    openDialog();
    click("btnAddPort");
    const QStringList lines = typed.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(editor(), Qt::Key_Return);
        QTest::keyClicks(editor(), lines.at(i));
    }
    QCOMPARE(editor()->toPlainText(), typed);
    clickOk();

    QCOMPARE(saved("printerPort").toString(), written);
    QCOMPARE(saved("useSerialPort").toString(), QStringLiteral("true"));
    QCOMPARE(saved("friendlyName").toString(), QString());
}

void TestSettingsDialog::pickAfterTypingWritesPick()
{
    setPrinters({QStringLiteral("Blagajna"), QStringLiteral("Ured")});
    openDialog();
    click("btnAddPort");
    QTest::keyClicks(editor(), QStringLiteral("COM9"));

    // picking an entry hides the editor again
    combo()->setFocus();
    QTest::keyClick(combo(), Qt::Key_Down);
    QCOMPARE(combo()->currentText(), QStringLiteral("Ured"));
    QVERIFY(editor()->isHidden());

    click("btnAddPort");
    QCOMPARE(editor()->toPlainText(), QStringLiteral("COM9")); // still there for the next "+"
    combo()->setFocus();
    QTest::keyClick(combo(), Qt::Key_Down);
    QCOMPARE(combo()->currentText(), QStringLiteral("COM1"));
    clickOk();

    QCOMPARE(saved("printerPort").toString(), QStringLiteral("COM1"));
    QCOMPARE(saved("useSerialPort").toString(), QStringLiteral("true"));
    QCOMPARE(saved("friendlyName").toString(), QStringLiteral("COM1"));
}

void TestSettingsDialog::leavingWritesNothing_data()
{
    QTest::addColumn<QByteArray>("how");
    QTest::newRow("Cancel") << QByteArray("cancel");
    QTest::newRow("Escape") << QByteArray("escape");
    QTest::newRow("window closed") << QByteArray("close");
}

void TestSettingsDialog::leavingWritesNothing()
{
    QFETCH(QByteArray, how);

    const QByteArray file = "[General]\nprinterPort=COM2\nuseSerialPort=true\nfriendlyName=COM2\n";
    writeSettingsFile(file);
    openDialog();
    combo()->setFocus();
    QTest::keyClick(combo(), Qt::Key_Down);
    click("btnAddPort");
    QTest::keyClicks(editor(), QStringLiteral("COM9"));

    if (how == "cancel")
        QTest::mouseClick(widget<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    else if (how == "escape")
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    else
        dialog->close();

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(readFile(QStringLiteral("settings.ini")), file);
}

void TestSettingsDialog::unknownKeysSurvive()
{
    writeSettingsFile("[General]\nmainUrl=https://example.test/start\ntimeout=900\nversion=3\ncustomKey=abc\n"
                      "[Other]\nkey=value\n");
    openDialog();
    clickOk();

    QCOMPARE(saved("printerPort").toString(), QStringLiteral("COM1"));
    QCOMPARE(saved("mainUrl").toString(), QStringLiteral("https://example.test/start"));
    QCOMPARE(saved("timeout").toString(), QStringLiteral("900"));
    QCOMPARE(saved("version").toString(), QStringLiteral("3"));
    QCOMPARE(saved("customKey").toString(), QStringLiteral("abc"));
    QCOMPARE(saved("Other/key").toString(), QStringLiteral("value"));
}

void TestSettingsDialog::versionAndMetaType()
{
    openDialog();
    QCOMPARE(widget<QLabel>("label_2")->text(), QLatin1String(VELMOR_VERSION) + QStringLiteral(" (created using QT Creator 5)"));
    QVERIFY(QMetaType::type("PrinterInfo") != QMetaType::UnknownType);
    QVERIFY(combo()->itemData(0).canConvert<PrinterInfo>());
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
