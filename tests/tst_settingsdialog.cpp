#include "buildconfig.h"
#include "cupsscheduler.h"
#include "modaldialog.h"
#include "outputchoice.h"
#include "pseudoterminal.h"
#include "portoutput.h"
#include "serialport.h"
#include "settings.h"
#include "testhelpers.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QCheckBox>
#include <QTcpServer>
#include <QTcpSocket>
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
    void tabAndEnter();
    void homeAndEnter();
    void unknownKeysSurvive();
    void versionAndMetaType();
    void encodingChoice();
    void unsavableChoiceKeepsDialogOpen();
    void testPrint_data();
    void testPrint();

private:
    void openDialog(const ShellContext &context = testContext(QStringLiteral("https://127.0.0.1:1")));
    void setPrinters(const QStringList &printers, const QString &defaultPrinter = QString());
    template <typename T> T *widget(const char *name) const { return dialog->findChild<T *>(QLatin1String(name)); }
    QComboBox *combo() const { return widget<QComboBox>("cbPrinterPorts"); }
    QLineEdit *editor() const { return widget<QLineEdit>("txtPortName"); }
    QComboBox *encoding() const { return widget<QComboBox>("cbEncoding"); }
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

void TestSettingsDialog::setPrinters(const QStringList &printers, const QString &defaultPrinter)
{
    for (const QString &name : installed)
        QVERIFY(cups.removePrinter(name));
    installed.clear();
    for (const QString &name : printers) {
        QVERIFY(cups.addPrinter(name));
        installed << name;
    }
    if (!defaultPrinter.isEmpty())
        QVERIFY(cups.command(QStringLiteral("lpadmin"), {QStringLiteral("-d"), defaultPrinter}));
}

void TestSettingsDialog::openDialog(const ShellContext &context)
{
    // The service is never asked: the update button is tried in tst_updates.
    dialog = std::make_unique<Settings>(context, nullptr);
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
    QTest::addColumn<QStringList>("printers"); // the first is the default
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("said"); // in the line that says what is in use
    QTest::addColumn<QStringList>("written"); // printerPort, useSerialPort, friendlyName after OK

    const QStringList ports{"Port: COM1 (/dev/ttyS0)", "Port: COM2 (/dev/ttyS1)", "Port: COM3 (/dev/ttyS2)",
                            "Port: COM4 (/dev/ttyS3)", "Port: LPT1 (/dev/lp0)",   "Port: LPT2 (/dev/lp1)"};
    const QStringList nothing{"", "", ""};
    QTest::newRow("no printers, no file: nothing in use")
        << QStringList() << QByteArray() << ports << -1 << "Nema instaliranog pisača" << nothing;
    QTest::newRow("two printers: the default is in use")
        << QStringList{"Ured", "Blagajna"} << QByteArray() << QStringList{"Pisač: Blagajna", "Pisač: Ured (zadani)"} + ports
        << 1 << "U upotrebi: Pisač: Ured (zadani)" << QStringList{"Ured", "false", ""};
    QTest::newRow("file without useSerialPort: the default printer")
        << QStringList{"Blagajna"} << QByteArray("printerPort=LPT1\n") << QStringList{"Pisač: Blagajna (zadani)"} + ports
        << 0 << "Blagajna" << QStringList{"Blagajna", "false", ""};
    QTest::newRow("saved fixed port")
        << QStringList() << QByteArray("printerPort=LPT2\nuseSerialPort=true\nfriendlyName=LPT2\n") << ports << 5
        << "LPT2" << QStringList{"LPT2", "true", "LPT2"};
    QTest::newRow("saved typed port COM7 appended")
        << QStringList() << QByteArray("printerPort=COM7\nuseSerialPort=true\nfriendlyName=\n")
        << ports + QStringList{"Port: COM7 (/dev/ttyS6)"} << 6 << "COM7" << QStringList{"COM7", "true", ""};
    QTest::newRow("removed printer: the default is in use, and said so")
        << QStringList{"Blagajna"} << QByteArray("printerPort=Stari\nuseSerialPort=false\nfriendlyName=\n")
        << QStringList{"Pisač: Blagajna (zadani)"} + ports << 0 << "Pisač „Stari” nije instaliran"
        << QStringList{"Blagajna", "false", ""};
    QTest::newRow("a port, not the printer queue of its name")
        << QStringList{"COM1"} << QByteArray("printerPort=COM1\nuseSerialPort=true\nfriendlyName=COM1\n")
        << QStringList{"Pisač: COM1 (zadani)"} + ports << 1 << "Port: COM1" << QStringList{"COM1", "true", "COM1"};
    QTest::newRow("a preset friendly name stays with its printer")
        << QStringList{"Blagajna"} << QByteArray("printerPort=Blagajna\nuseSerialPort=false\nfriendlyName=Kasa 1\n")
        << QStringList{"Pisač: Blagajna (zadani)"} + ports << 0 << "Blagajna"
        << QStringList{"Blagajna", "false", "Kasa 1"};
    QTest::newRow("found by friendly name")
        << QStringList() << QByteArray("printerPort=LPT2 (old)\nuseSerialPort=true\nfriendlyName=LPT2\n") << ports << 5
        << "LPT2" << QStringList{"LPT2", "true", "LPT2"};
}

void TestSettingsDialog::fillsAndPreselects()
{
    QFETCH(QStringList, printers);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, shown);
    QFETCH(int, current);
    QFETCH(QString, said);
    QFETCH(QStringList, written);

    setPrinters(printers, printers.value(0));
    writeSettingsFile("[General]\n" + file);
    openDialog();
    QCOMPARE(entries(), shown);
    QCOMPARE(combo()->currentIndex(), current);
    QVERIFY2(widget<QLabel>("lblInUse")->text().contains(said), qPrintable(widget<QLabel>("lblInUse")->text()));
    QVERIFY(editor()->isHidden());
    QVERIFY(widget<QLabel>("lblPortName")->isHidden());
    // The code page is the port's: a printer has none to choose.
    QCOMPARE(encoding()->isEnabled(), combo()->currentText().startsWith(QLatin1String("Port:")));

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
    QTest::newRow("blanks around go") << QStringLiteral(" COM9 ") << QStringLiteral("COM9");
    QTest::newRow("a comma kept") << QStringLiteral("a,b") << QStringLiteral("a,b");
    QTest::newRow("a network printer") << QStringLiteral("192.168.1.50:9100") << QStringLiteral("192.168.1.50:9100");
}

void TestSettingsDialog::typedPortWritten()
{
    QFETCH(QString, typed);
    QFETCH(QString, written);

    setPrinters({QStringLiteral("Ured")});
    openDialog();
    click("btnAddPort");
    QTest::keyClicks(editor(), typed);
    QCOMPARE(editor()->text(), typed);
    widget<QCheckBox>("cbCutPaper")->click();
    clickOk();

    QCOMPARE(saved("printerPort").toString(), written);
    QCOMPARE(saved("useSerialPort").toString(), QStringLiteral("true"));
    QCOMPARE(saved("portCutPaper").toString(), QStringLiteral("true"));
    QCOMPARE(saved("portOpenDrawer").toString(), QStringLiteral("false"));
    QCOMPARE(saved("friendlyName").toString(), QString());
}

void TestSettingsDialog::pickAfterTypingWritesPick()
{
    setPrinters({QStringLiteral("Blagajna"), QStringLiteral("Ured")}, QStringLiteral("Blagajna"));
    openDialog();
    click("btnAddPort");
    QTest::keyClicks(editor(), QStringLiteral("COM9"));

    // picking an entry hides the editor again
    combo()->setFocus();
    QTest::keyClick(combo(), Qt::Key_Down);
    QCOMPARE(combo()->currentText(), QStringLiteral("Pisač: Ured"));
    QVERIFY(editor()->isHidden());

    click("btnAddPort");
    QCOMPARE(editor()->text(), QStringLiteral("COM9")); // still there for the next "+"
    combo()->setFocus();
    QTest::keyClick(combo(), Qt::Key_Down);
    QCOMPARE(combo()->currentText(), QStringLiteral("Port: COM1 (/dev/ttyS0)"));
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

void TestSettingsDialog::tabAndEnter()
{
    openDialog();
    click("btnAddPort");
    QTest::keyClicks(editor(), QStringLiteral("COM9"));
    QTest::keyClick(editor(), Qt::Key_Tab);
    QCOMPARE(editor()->text(), QStringLiteral("COM9"));
    QVERIFY(!editor()->hasFocus()); // Tab moved on
    editor()->setFocus();
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(dialog->result(), int(QDialog::Accepted)); // Enter accepted
    QCOMPARE(saved("printerPort").toString(), QStringLiteral("COM9"));
}

void TestSettingsDialog::homeAndEnter()
{
    // LPT2 in use; Home, Enter: the first port (no printers here), saved.
    writeSettingsFile("[General]\nprinterPort=LPT2\nuseSerialPort=true\nfriendlyName=LPT2\n");
    openDialog();
    QApplication::setActiveWindow(dialog.get());
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(combo()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(saved("printerPort").toString(), QStringLiteral("COM1"));
}

void TestSettingsDialog::unknownKeysSurvive()
{
    writeSettingsFile("[General]\nmainUrl=https://example.test/start\ntimeout=900\nversion=3\ncustomKey=abc\n"
                      "[Other]\nkey=value\n");
    openDialog();
    combo()->setCurrentIndex(0); // COM1: no printers here
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

void TestSettingsDialog::encodingChoice()
{
    writeSettingsFile("[General]\nprinterPort=COM1\nuseSerialPort=true\nfriendlyName=COM1\n");
    openDialog();
    QCOMPARE(encoding()->currentText(), QStringLiteral("UTF-8"));
    encoding()->setCurrentIndex(1); // the Croatian choice for ESC/POS printers
    emit encoding()->activated(1);
    QCOMPARE(widget<QSpinBox>("sbCodeTable")->value(), 18);
    clickOk();
    QCOMPARE(saved("portEncoding").toString(), QStringLiteral("CP852"));
    QCOMPARE(saved("portCodeTable").toString(), QStringLiteral("18"));

    openDialog();
    QCOMPARE(encoding()->currentIndex(), 1);
}

void TestSettingsDialog::unsavableChoiceKeepsDialogOpen()
{
    // Its folder is a file: no one, root included, can write it.
    QVERIFY(writeFile(QStringLiteral("notafolder"), "x"));
    ShellContext context = testContext(QStringLiteral("https://127.0.0.1:1"));
    context.settingsFile = QStringLiteral("notafolder/settings.ini");
    openDialog(context);
    combo()->setCurrentIndex(0);
    QString said;
    onNextModal([&said](QWidget *) {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            said = box->text();
            box->accept();
        }
    });
    clickOk();
    QVERIFY2(said.contains(QStringLiteral("ne može spremiti")), qPrintable(said));
    QVERIFY(dialog->isVisible()); // the choice is still there to try again
}

void TestSettingsDialog::testPrint_data()
{
    QTest::addColumn<bool>("toPort");
    QTest::addColumn<bool>("network");
    QTest::newRow("typed port, PC852 with ESC t 18") << true << false;
    QTest::newRow("typed network printer, PC852 with ESC t 18") << true << true;
    QTest::newRow("printer") << false << false;
    QTest::newRow("printer with an 80 mm roll: on its paper") << false << true;
}

void TestSettingsDialog::testPrint()
{
    QFETCH(bool, toPort);
    QFETCH(bool, network); // for a printer: its driver knows only an 80 mm roll
    setPrinters({QStringLiteral("Ured"), QStringLiteral("Blagajna")}, QStringLiteral("Ured"));
    const bool roll = !toPort && network;
    if (roll)
        QVERIFY(cups.command(QStringLiteral("lpadmin"), {QStringLiteral("-p"), QStringLiteral("Blagajna"),
                                                         QStringLiteral("-P"), QStringLiteral(ROLL80_PPD)}));
    PseudoTerminal pty;
    // A network printer: what its one connection brought, once closed.
    QTcpServer printer;
    QVERIFY(printer.listen(QHostAddress::LocalHost));
    QByteArray received;
    bool closed = false;
    connect(&printer, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *socket = printer.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, this, [&received, socket] { received += socket->readAll(); });
        connect(socket, &QTcpSocket::disconnected, this, [&closed] { closed = true; });
    });
    const int jobs = cups.jobs().size();
    openDialog();
    if (toPort) {
        click("btnAddPort");
        QTest::keyClicks(editor(), network ? QStringLiteral("127.0.0.1:%1").arg(printer.serverPort()) : pty.slavePath());
        widget<QCheckBox>("cbCutPaper")->setChecked(network);
        widget<QCheckBox>("cbOpenDrawer")->setChecked(network);
        encoding()->setCurrentIndex(1);
        emit encoding()->activated(1);
    } else {
        combo()->setCurrentIndex(combo()->findText(QStringLiteral("Pisač: Blagajna"))); // not the default
    }
    click("btnTestPrint");
    // Said once the output is over; the dialog runs meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(widget<QPushButton>("btnTestPrint")->isEnabled(), 15000);
    const QString result = widget<QLabel>("lblTestResult")->text();
    QVERIFY2(result.startsWith(QStringLiteral("Probni ispis poslan")), qPrintable(result));

    if (toPort) {
        if (network)
            QTRY_VERIFY_WITH_TIMEOUT(closed, 5000);
        QByteArray bytes = network ? received : pty.read();
        if (network) { // a network printer is asked for its status first
            QVERIFY2(bytes.startsWith(SerialPort::statusRequest), bytes.toHex().constData());
            bytes = bytes.mid(SerialPort::statusRequest.size());
        }
        // the pulse and the cut only where asked for
        QCOMPARE(bytes.startsWith(drawerPulse), network);
        QCOMPARE(bytes.endsWith(feedAndCut), network);
        if (network)
            bytes = bytes.mid(drawerPulse.size());
        QVERIFY2(bytes.startsWith("\x1b\x74\x12Probni ispis\n"), bytes.toHex().constData());
        QVERIFY(bytes.contains("\x9f\x86\xd0\xe7\xa7 \xac\x8f\xd1\xe6\xa6")); // čćđšž ČĆĐŠŽ in PC852
    } else {
        QVERIFY(cups.waitForJobs(jobs + 1));
        const CupsScheduler::Job job = cups.jobs().last();
        QCOMPARE(job.printer, QStringLiteral("Blagajna"));
        QVERIFY(CupsScheduler::text(job).contains(QStringLiteral("čćđšž ČĆĐŠŽ")));
        const QSizeF page = CupsScheduler::pageSize(job);
        QVERIFY2(roll ? qAbs(page.width() - 226.8) < 1 : page.width() > 500, qPrintable(QString::number(page.width())));
    }
    QVERIFY(!QFile::exists(QStringLiteral("settings.ini"))); // tried, not saved
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
