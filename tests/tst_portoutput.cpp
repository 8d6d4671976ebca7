#include "invoicepage.h"
#include "journal.h"
#include "modaldialog.h"
#include "portoutput.h"
#include "pseudoterminal.h"
#include "serialport.h"
#include "settings.h"
#include "shellwindow.h"
#include "testhelpers.h"
#include "testserver.h"

#include <QApplication>
#include <QLabel>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <httplib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

// Invoices in port mode, written to pseudo-terminals and device files.
class TestPortOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void writesInvoiceBytes_data();
    void writesInvoiceBytes();
    void outputPortLineSettings();
    void nothingToWrite_data();
    void nothingToWrite();
    void pageWithoutMarker();
    void portCannotBeOpened_data();
    void portCannotBeOpened();
    void longReasonKeepsTheBarSmall();
    void nonTerminalDeviceByPath();
    void displayStringWritesNothing();
    void failedLoadStillWrites();
    void printerModeWithoutPrinter();
    void printSystemThatNeverAnswers();
    void settingsWhileThePrintSystemIsSilent();
    void settingsDialogRebuildsOutput_data();
    void settingsDialogRebuildsOutput();
    void portVanishes();
    void networkPrinter();
    void serialPrinterSaysWhy();
    void backToBackAsUser();
    void deviceOfAGroupAsUser();
    void deviceNotTakingData();
    void closingDuringALongWrite();
    void portNamesStayPorts_data();
    void portNamesStayPorts();
    void encodings_data();
    void encodings();
    void recentInvoicesReprint();
    void comebackPrintsNothingTwice();
    void retryOutputsEveryWaitingInvoice();
    void htmlReprintedToPortAsText();
    void loneSurrogateRefused();
    void lockedJournalHoldsNothingBack();
    void damagedJournalStillPrints();

private:
    // Opens the window on `page` with the given settings and waits for the load.
    bool openWindow(const QByteArray &page, const QByteArray &settings, bool expectSuccess = true);
    ShellPage *webPage() const { return pageOf(window.get()); }
    QString marker() const { return shellMarker(window.get()); }
    QString statusMessage() const { return window->statusBar()->currentMessage(); }
    // What the failure bar says; empty while it is hidden.
    QString failure() const { return failureText(window.get()); }

    TestServer service;
    std::unique_ptr<ScopedWorkDir> workDir;
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<LogCapture> log;
    std::unique_ptr<MainWindow> window;
};

void TestPortOutput::initTestCase()
{
    // No printing system here: printer mode finds no printer at all.
    qputenv("CUPS_SERVER", "127.0.0.1:1");
    QVERIFY(service.start());
    service.content("/updates/checkForUpdates", R"({"version": 0, "files": []})", "application/json");
}

void TestPortOutput::init()
{
    workDir = std::make_unique<ScopedWorkDir>();
    pty = std::make_unique<PseudoTerminal>();
    QVERIFY(pty->isOpen());
    log = std::make_unique<LogCapture>();
}

void TestPortOutput::cleanup()
{
    window.reset();
    log.reset();
    pty.reset();
    workDir.reset();
}

bool TestPortOutput::openWindow(const QByteArray &page, const QByteArray &settings, bool expectSuccess)
{
    service.html("/accounts/login", page);
    writeSettingsFile(settings);
    bool loadOk = false;
    return openMainWindow(window, testContext(service.origin()), &loadOk) && loadOk == expectSuccess;
}

void TestPortOutput::writesInvoiceBytes_data()
{
    QTest::addColumn<QString>("invoice");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("Croatian letters as two-byte UTF-8")
        << QStringLiteral("Račun 7: čćđšž ČĆĐŠŽ\n")
        << QByteArray("Ra\xc4\x8d" "un 7: \xc4\x8d\xc4\x87\xc4\x91\xc5\xa1\xc5\xbe "
                      "\xc4\x8c\xc4\x86\xc4\x90\xc5\xa0\xc5\xbd\n");
    // as an ESC/POS encoder writes them: bold on and off, a partial cut
    QTest::newRow("zero bytes of ESC/POS sent whole")
        << QStringLiteral("\x1b" "E") + QChar(1) + QStringLiteral("Račun\x1b" "E") + QChar(0) + QStringLiteral("kraj\x1dV")
               + QChar(1)
        << QByteArray("\x1b" "E\x01Ra\xc4\x8dun\x1b" "E\x00kraj\x1dV\x01", 19);
    QTest::newRow("only spaces are an invoice") << QStringLiteral("   ") << QByteArray("   ");
    QTest::newRow("control characters sent as they are")
        << QStringLiteral("\x1b@A\tB\r\nC\x0c\x1dV") << QByteArray("\x1b@A\tB\r\nC\x0c\x1dV");
    QTest::newRow("a long receipt") << QString(3000, QLatin1Char('x')) << QByteArray(3000, 'x');
}

void TestPortOutput::writesInvoiceBytes()
{
    QFETCH(QString, invoice);
    QFETCH(QByteArray, bytes);

    QVERIFY(openWindow(invoicePage(invoice, QStringLiteral("<p>html</p>")),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    // asked for its status, which this line never answers, and then printed
    QCOMPARE(pty->readRaw(), SerialPort::statusRequest + bytes);
    QCOMPARE(marker(), QStringLiteral("true"));

    // the bytes went out at 9600 baud, two stop bits, no hardware flow control
    const termios line = pty->settings();
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));
    QVERIFY(line.c_cflag & CSTOPB);
    QVERIFY(!(line.c_cflag & CRTSCTS));
    QVERIFY(!(line.c_iflag & (IXON | IXOFF)));

    // a pty has no modem lines to read, so the printer counts as switched off
    QCOMPARE(log->count(QStringLiteral("nije upaljeno")), 1);
    QVERIFY(!log->contains(QStringLiteral("nisam upisao nista")));
    QCOMPARE(statusMessage(), QStringLiteral("Račun ispisan: ") + pty->slavePath());
    QCOMPARE(failure(), QString());
}

void TestPortOutput::outputPortLineSettings()
{
    // A pty reports 8 data bits and no parity whatever was asked, so these
    // two are checked on the port as configured.
    const SerialPort port(QStringLiteral("COM3"));
    QCOMPARE(port.portName(), QStringLiteral("COM3"));
    QCOMPARE(port.line().dataBits, QSerialPort::Data8);
    QCOMPARE(port.line().parity, QSerialPort::NoParity);
    QVERIFY(!port.isOpen());
}

void TestPortOutput::nothingToWrite_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("html");

    QTest::newRow("only the printer element") << QString() << QStringLiteral("<p>Račun</p>");
    QTest::newRow("no element at all") << QString() << QString();
    QTest::newRow("empty value") << QStringLiteral("") << QStringLiteral("<p>Račun</p>");
}

void TestPortOutput::nothingToWrite()
{
    QFETCH(QString, text);
    QFETCH(QString, html);

    QVERIFY(openWindow(invoicePage(text, html),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QCOMPARE(pty->read(), QByteArray());
    QCOMPARE(marker(), QStringLiteral("true"));
    QCOMPARE(failure(), QString());
    QCOMPARE(webPage()->title(), QStringLiteral("invoice")); // reading raised no error in the page
}

void TestPortOutput::pageWithoutMarker()
{
    QVERIFY(openWindow(invoicePage(QStringLiteral("bez oznake"), QString(), false),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QCOMPARE(pty->read(), QByteArray("bez oznake"));
    QCOMPARE(marker(), QStringLiteral("none"));
}

void TestPortOutput::portCannotBeOpened_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("holdPty");
    QTest::addColumn<QString>("kind"); // what the journal keeps

    QTest::newRow("no such device") << QByteArray("useSerialPort=true\nprinterPort=/nonexistent/ttyX\n") << false
                                    << "device";
    QTest::newRow("no such device in an existing folder")
        << QByteArray("useSerialPort=true\nprinterPort=%DIR%/lp9\n") << false << "device";
    QTest::newRow("port name absent") << QByteArray("useSerialPort=true\n") << false << "setting";
    QTest::newRow("port name empty") << QByteArray("useSerialPort=true\nprinterPort=\n") << false << "setting";
    QTest::newRow("held by another program")
        << QByteArray("useSerialPort=true\nprinterPort=%PTY%\n") << true << "device";
}

void TestPortOutput::portCannotBeOpened()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, holdPty);
    QFETCH(QString, kind);

    SerialPort other(pty->slavePath());
    if (holdPty)
        QVERIFY(other.open());

    QVERIFY(openWindow(invoicePage(QStringLiteral("račun"), QString()),
                       "[General]\n" + settings.replace("%PTY%", pty->slavePath().toLatin1())
                                            .replace("%DIR%", workDir->path().toLocal8Bit())));
    QVERIFY2(failure().startsWith(QStringLiteral("Račun nije ispisan: ")), qPrintable(failure()));
    QVERIFY2(failure().contains(QStringLiteral("port")), qPrintable(failure()));
    QVERIFY(!log->contains(QStringLiteral("nije upaljeno"))); // never opened, so never asked
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    QCOMPARE(journal.latest(1).first().outcome, QLatin1String(JournalEntry::failed));
    QCOMPARE(journal.latest(1).first().kind, kind);
    other.close();
    QCOMPARE(pty->read(), QByteArray());
    QVERIFY(!QFile::exists(workDir->filePath(QStringLiteral("lp9")))); // nothing made up in its place
}

void TestPortOutput::longReasonKeepsTheBarSmall()
{
    // A port name of 600 characters makes a reason of several lines.
    const QByteArray name(600, 'x');
    QVERIFY(openWindow(invoicePage(QStringLiteral("račun"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + name + "\n"));
    QVERIFY2(failure().contains(QString::fromLatin1(name)), qPrintable(failure())); // whole, for the tooltip
    window->resize(1024, 768);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *bar = window->findChild<QWidget *>(QStringLiteral("failureBar"));
    auto *label = window->findChild<QLabel *>(QStringLiteral("lblFailure"));
    QVERIFY(bar && label && bar->isVisible());
    QVERIFY2(label->height() <= 2 * label->fontMetrics().lineSpacing() + 2, qPrintable(QString::number(label->height())));
    QVERIFY2(bar->height() < window->height() / 8, qPrintable(QString::number(bar->height())));
    QVERIFY(!label->toolTip().isEmpty());
    QVERIFY2(window->width() <= 1024, qPrintable(QString::number(window->width()))); // not widened by the name either
}

void TestPortOutput::nonTerminalDeviceByPath()
{
    const QString fifo = workDir->filePath(QStringLiteral("printer.fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    // The printer's side reads as the bytes come: the output waits for it.
    const QByteArray expected = QStringLiteral("Račun na uređaj").toUtf8();
    QByteArray got;
    std::thread printer([reader, &got, &expected] {
        const QDeadlineTimer deadline(5000);
        while (got.size() < expected.size() && !deadline.hasExpired()) {
            char buffer[256];
            const ssize_t n = ::read(reader, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, int(n));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    const bool opened = openWindow(invoicePage(QStringLiteral("Račun na uređaj"), QString()),
                                   "[General]\nuseSerialPort=true\nprinterPort=" + fifo.toLocal8Bit() + "\n");
    printer.join();
    ::close(reader);
    QVERIFY(opened);
    QCOMPARE(got, expected);
    QCOMPARE(log->count(QStringLiteral("nije upaljeno")), 1); // no modem lines on a plain device
    QCOMPARE(failure(), QString());
}

void TestPortOutput::displayStringWritesNothing()
{
    QVERIFY(openWindow(invoicePage(QStringLiteral("jednom"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QCOMPARE(pty->read(), QByteArray("jednom"));
    pageScript(webPage(), QStringLiteral("JSConnector.displayString('poruka')"));
    QCOMPARE(pty->read(), QByteArray());
    QCOMPARE(failure(), QString());
}

void TestPortOutput::failedLoadStillWrites()
{
    // The page stops its own load while an image is still on its way: the
    // load does not finish, but the document and its invoice are there.
    service.route("/slow.png", [](const httplib::Request &, httplib::Response &res) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        res.set_content("late", "image/png");
    });
    QByteArray page = invoicePage(QStringLiteral("nedovrseno"), QString());
    page.replace("</body>", "<img src='/slow.png'><script>setTimeout(function(){ window.stop(); }, 200);</script></body>");

    QVERIFY(openWindow(page, "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n",
                       false));
    QCOMPARE(pty->read(), QByteArray("nedovrseno"));
    QCOMPARE(marker(), QStringLiteral("true"));
}

void TestPortOutput::printerModeWithoutPrinter()
{
    QVERIFY(openWindow(invoicePage(QStringLiteral("tekst"), QStringLiteral("<p>Račun</p>")),
                       "[General]\nuseSerialPort=false\nprinterPort=Nigdje\n"));
    // No print system here at all: said as such, and nothing goes anywhere.
    QCOMPARE(failure(), QStringLiteral("Račun nije ispisan: sustav za ispis nije dostupan"));
    QCOMPARE(pty->read(), QByteArray());
}

void TestPortOutput::printSystemThatNeverAnswers()
{
    // Takes every connection and never says a word.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QByteArray before = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", QByteArray("127.0.0.1:") + QByteArray::number(silent.serverPort()));
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);
    QElapsedTimer clock;
    clock.start();
    const bool opened = openWindow(invoicePage(QString(), QStringLiteral("<p>Račun 90</p>")),
                                   "[General]\nuseSerialPort=false\nprinterPort=Kasa\n");
    qputenv("CUPS_SERVER", before);
    QVERIFY(opened); // the page came up, and its invoice was tried
    const qint64 took = clock.elapsed();
    QVERIFY2(took < 60000, qPrintable(QString::number(took)));
    QVERIFY2(!failure().isEmpty(), "the failure bar did not come up");
    // The window went on with its events all the while.
    QVERIFY2(ticks > took / 50 / 2, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(took)));
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    QCOMPARE(journal.latest(1).first().outcome, QLatin1String(JournalEntry::failed));
    QCOMPARE(journal.latest(1).first().kind, QStringLiteral("print-system"));
}

void TestPortOutput::settingsWhileThePrintSystemIsSilent()
{
    QVERIFY(openWindow(invoicePage(QStringLiteral("račun"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QTcpServer silent; // takes every connection and never says a word
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QByteArray before = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", QByteArray("127.0.0.1:") + QByteArray::number(silent.serverPort()));
    const auto restored = qScopeGuard([&before] { qputenv("CUPS_SERVER", before); });
    auto *gear = window->findChild<QPushButton *>(QStringLiteral("btnSettings"));
    QTest::mouseClick(gear, Qt::LeftButton);
    // While the printers are asked for, the window goes on, and the gear
    // cannot start another round.
    QVERIFY(!gear->isEnabled());
    QTest::qWait(500);
    QVERIFY(!QApplication::activeModalWidget());
    QTest::mouseClick(gear, Qt::LeftButton); // not taken
    // The dialog comes once the print system's wait is over.
    QVERIFY2(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 20000),
             "no Postavke within 20 s");
    QApplication::activeModalWidget()->close();
    QVERIFY(QTest::qWaitFor([gear] { return gear->isEnabled(); }, 5000));
    QTest::qWait(300);
    QVERIFY(!QApplication::activeModalWidget()); // and only once
}

void TestPortOutput::settingsDialogRebuildsOutput_data()
{
    QTest::addColumn<QByteArray>("handEdit");
    QTest::addColumn<bool>("toSecondPort");

    QTest::newRow("cancel still re-reads the file") << QByteArray("useSerialPort=true\nprinterPort=%2\n") << true;
    QTest::newRow("mode kept when useSerialPort is gone") << QByteArray("printerPort=%2\n") << false;
}

void TestPortOutput::settingsDialogRebuildsOutput()
{
    QFETCH(QByteArray, handEdit);
    QFETCH(bool, toSecondPort);

    PseudoTerminal &first = *pty;
    PseudoTerminal second;
    QVERIFY(openWindow(invoicePage(QStringLiteral("račun"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + first.slavePath().toLatin1() + "\n"));
    QCOMPARE(first.read(), QByteArray("račun"));

    // edited by hand while the program runs; the dialog is then cancelled
    const QByteArray edited = "[General]\n" + handEdit.replace("%2", second.slavePath().toLatin1());
    writeSettingsFile(edited);
    bool sawDialog = false;
    onNextModal([&sawDialog](QWidget *) {
        auto *modal = qobject_cast<Settings *>(QApplication::activeModalWidget());
        sawDialog = modal != nullptr;
        if (modal) {
            auto *box = modal->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            QTest::mouseClick(box->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        }
    });
    QSignalSpy loads(webPage(), &ShellPage::loadFinished);
    QVERIFY(settingsRoundTrip(window.get()));
    QVERIFY(sawDialog);
    QCOMPARE(readFile(QStringLiteral("settings.ini")), edited);

    webPage()->reload();
    QVERIFY(waitForLoads(window.get(), loads));
    QCOMPARE(first.read(), QByteArray());
    if (toSecondPort) {
        QCOMPARE(second.read(), QByteArray("račun"));
    } else {
        // still port mode, but no port is named any more
        QCOMPARE(second.read(), QByteArray());
        QCOMPARE(failure(), QStringLiteral("Račun nije ispisan: u postavkama nije zadan port"));
    }
}

void TestPortOutput::portVanishes()
{
    const QString path = pty->slavePath();
    QVERIFY(openWindow(invoicePage(QStringLiteral("prvi"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + path.toLatin1() + "\n"));
    QCOMPARE(pty->read(), QByteArray("prvi"));

    pty.reset(); // the printer's cable is pulled
    QSignalSpy loads(webPage(), &ShellPage::loadFinished);
    webPage()->reload();
    QVERIFY(waitForLoads(window.get(), loads));
    QVERIFY2(failure().contains(path), qPrintable(failure()));

    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    const QList<JournalEntry> entries = journal.latest(5);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).outcome, QLatin1String(JournalEntry::failed));
    QCOMPARE(entries.at(0).target, path);
    QCOMPARE(entries.at(0).page, service.url(QStringLiteral("/accounts/login")));
    QCOMPARE(entries.at(1).outcome, QLatin1String(JournalEntry::printed));
}

namespace {

// A network receipt printer: takes one connection after another and keeps
// what each brought once it has closed.
class NetworkPrinter : public QObject
{
public:
    NetworkPrinter()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    *buffer += socket->readAll();
                    // ESC/POS real-time status, answered the moment it is asked
                    if (!status.isEmpty() && buffer->endsWith(SerialPort::statusRequest))
                        socket->write(status);
                });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket, buffer] {
                    *buffer += socket->readAll();
                    received.append(*buffer);
                    socket->deleteLater();
                });
            }
        });
    }
    bool listen(quint16 port = 0) { return server.listen(QHostAddress::LocalHost, port); }
    void close() { server.close(); }
    QString name() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }

    QTcpServer server;
    QByteArray status;          // the answer to DLE EOT 2 and 4; empty: none
    QList<QByteArray> received; // one per connection
};

} // namespace

void TestPortOutput::networkPrinter()
{
    NetworkPrinter printer; // says nothing of its status at first
    QVERIFY(printer.listen());
    const QString name = printer.name();
    const quint16 port = printer.server.serverPort();
    QVERIFY(openWindow(invoicePage(QStringLiteral("Račun N1\n"), QString()),
                       "[General]\nuseSerialPort=true\nportEncoding=CP852\nportCutPaper=true\nportOpenDrawer=true\n"
                       "printerPort=" + name.toLatin1() + "\n"));
    // asked for its status; the drawer opens as the receipt starts, and the
    // paper is cut after it
    const auto sent = [](const char *text) {
        return SerialPort::statusRequest + drawerPulse + QByteArray(text) + feedAndCut;
    };
    QTRY_COMPARE_WITH_TIMEOUT(printer.received, QList<QByteArray>{sent("Ra\x9f" "un N1\n")}, 10000);
    QCOMPARE(failure(), QString());

    // Out of paper, as it says (off line for the paper's end, the roll's
    // sensor at its end): the next invoice waits, and says why.
    printer.status = QByteArray("\x32\x72", 2);
    service.html("/accounts/login", invoicePage(QStringLiteral("Račun N2\n"), QString()));
    QSignalSpy loads(webPage(), &ShellPage::loadFinished);
    webPage()->reload();
    QVERIFY(waitForLoads(window.get(), loads));
    QTRY_VERIFY2_WITH_TIMEOUT(failure().contains(QStringLiteral("nema papira")), qPrintable(failure()), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(printer.received.size(), 2, 10000);
    QCOMPARE(printer.received.at(1), SerialPort::statusRequest); // asked, and nothing printed

    // Switched off: the next one fails too, saying where.
    printer.close();
    service.html("/accounts/login", invoicePage(QStringLiteral("Račun N3\n"), QString()));
    webPage()->reload();
    QVERIFY(waitForLoads(window.get(), loads, 2));
    QTRY_VERIFY2_WITH_TIMEOUT(failure().contains(name), qPrintable(failure()), 10000);

    // Back on with paper: "Ponovi ispis" prints each once.
    printer.status = QByteArray("\x12\x12", 2);
    QVERIFY(printer.listen(port));
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btnRetryPrint")), Qt::LeftButton);
    QVERIFY(waitForOutput(window.get()));
    QTRY_COMPARE_WITH_TIMEOUT(printer.received.size(), 4, 10000);
    QCOMPARE(printer.received.mid(2), (QList<QByteArray>{sent("Ra\x9f" "un N2\n"), sent("Ra\x9f" "un N3\n")}));
    QCOMPARE(failure(), QString());
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    QCOMPARE(journal.latest(1).value(0).target, name);
    QTest::qWait(300); // and no more copies come
    QCOMPARE(printer.received.size(), 4);
}

void TestPortOutput::serialPrinterSaysWhy()
{
    // A serial ESC/POS printer with its cover open: the invoice waits, and says why.
    pty->answerStatus('\x16', '\x12');
    QVERIFY(openWindow(invoicePage(QStringLiteral("Račun S1\n"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QTRY_VERIFY2_WITH_TIMEOUT(failure().contains(QStringLiteral("poklopac")), qPrintable(failure()), 10000);
    QCOMPARE(pty->readRaw(), SerialPort::statusRequest); // asked, and nothing printed

    // Closed: "Ponovi ispis" prints it once.
    pty->answerStatus('\x12', '\x12');
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btnRetryPrint")), Qt::LeftButton);
    QVERIFY(waitForOutput(window.get()));
    QCOMPARE(pty->read(), QStringLiteral("Račun S1\n").toUtf8());
    QCOMPARE(failure(), QString());
}

void TestPortOutput::backToBackAsUser()
{
    // A till's cashier is no root: the line must be free again after every
    // invoice, for our next one and for other programs.
    // A copy where nobody may run it: the build folder may be closed to others.
    QTemporaryDir bin;
    const QString harness = bin.filePath(QStringLiteral("portwrite_harness"));
    QVERIFY(QFile::copy(QStringLiteral(PORTWRITE_HARNESS), harness));
    QVERIFY(::chmod(QFile::encodeName(bin.path()).constData(), 0755) == 0);
    QVERIFY(::chown(QFile::encodeName(pty->slavePath()).constData(), 65534, 65534) == 0);
    for (int run = 1; run <= 2; ++run) {
        QProcess writer;
        writer.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                                 QStringLiteral("--clear-groups"), harness, pty->slavePath(),
                                                 QStringLiteral("3")});
        QVERIFY2(writer.waitForFinished(20000), "the write as nobody did not end within 20 s");
        const QByteArray said = writer.readAllStandardOutput() + writer.readAllStandardError();
        QVERIFY2(writer.exitCode() == 0, said.constData());
        QCOMPARE(pty->read(), QStringLiteral("Račun 1\nRačun 2\nRačun 3\n").toUtf8());
    }
}

void TestPortOutput::deviceOfAGroupAsUser()
{
    // A USB printer node as udev makes it: root's, for the group lp.
    QTemporaryDir bin;
    const QString harness = bin.filePath(QStringLiteral("portwrite_harness"));
    QVERIFY(QFile::copy(QStringLiteral(PORTWRITE_HARNESS), harness));
    QVERIFY(::chmod(QFile::encodeName(bin.path()).constData(), 0755) == 0);
    const QByteArray device = QFile::encodeName(pty->slavePath());
    QVERIFY(::chown(device.constData(), 0, 7) == 0 && ::chmod(device.constData(), 0660) == 0);
    QProcess writer;
    writer.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                             QStringLiteral("--clear-groups"), harness, pty->slavePath(),
                                             QStringLiteral("1")});
    QVERIFY2(writer.waitForFinished(20000), "the write as nobody did not end within 20 s");
    const QString said = QString::fromUtf8(writer.readAllStandardOutput() + writer.readAllStandardError());
    QCOMPARE(writer.exitCode(), 1);
    // what to do: the user and the device's group
    QVERIFY2(said.contains(QStringLiteral("adduser nobody lp")), qPrintable(said));
    QCOMPARE(pty->read(), QByteArray());
}

void TestPortOutput::deviceNotTakingData()
{
    // A FIFO nobody reads: the bytes are never taken.
    const QString fifo = workDir->filePath(QStringLiteral("nobody.fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(openWindow(invoicePage(QStringLiteral("nitko ne čita"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + fifo.toLocal8Bit() + "\n"));
    const qint64 took = clock.elapsed();
    QVERIFY2(failure().contains(QStringLiteral("uređaj ne prima podatke")), qPrintable(failure()));
    QVERIFY2(took >= SerialPort::writeDeadlineMs(15), qPrintable(QString::number(took)));
    // the window went on with its events all the while
    QVERIFY2(ticks > took / 10 / 2, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(took)));
}

void TestPortOutput::closingDuringALongWrite()
{
    // 256 KiB to a line nobody reads: about ten minutes before the write gives up.
    const QString invoice = QString(256 * 1024, QLatin1Char('x'));
    // Closed once the invoice is on its way (its entry is pending), then the
    // cashier stops it.
    bool closed = false;
    bool asked = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [this, &closed, &asked] {
        if (!window)
            return;
        if (!closed) {
            Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
            const QList<JournalEntry> latest = QFile::exists(QStringLiteral("journal.sqlite")) && journal.open()
                                                   ? journal.latest(1)
                                                   : QList<JournalEntry>();
            if (!latest.isEmpty() && latest.first().outcome == QLatin1String(JournalEntry::pending)) {
                closed = true;
                window->close();
            }
            return;
        }
        auto *box = window->findChild<QMessageBox *>(QStringLiteral("closingDuringOutput"));
        if (!box || asked || !box->isVisible())
            return;
        asked = true;
        box->findChild<QPushButton *>(QStringLiteral("btnStopOutput"))->click();
    });
    watch.start(20);
    QElapsedTimer clock;
    clock.start();
    service.html("/accounts/login", invoicePage(invoice, QString()));
    writeSettingsFile("[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n");
    std::unique_ptr<QSignalSpy> loads;
    window = makeMainWindow(testContext(service.origin()), loads);
    window->show();
    QVERIFY(waitForLoads(window.get(), *loads));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 10000);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(asked);
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    const JournalEntry entry = journal.latest(1).first();
    QCOMPARE(entry.outcome, QLatin1String(JournalEntry::failed));
    QCOMPARE(entry.kind, QStringLiteral("stopped"));
}

void TestPortOutput::portNamesStayPorts_data()
{
    QTest::addColumn<QByteArray>("name"); // %DIR%: the test's folder
    QTest::addColumn<QString>("said");

    QTest::newRow("climbs out of /dev") << QByteArray("../tmp/x") << "nije ispravan";
    QTest::newRow("a folder below /dev") << QByteArray("pts/../../tmp/x") << "nije ispravan";
    QTest::newRow("a regular file") << QByteArray("%DIR%/settings.ini") << "obična datoteka";
    QTest::newRow("a folder") << QByteArray("%DIR%") << "mapa";
}

void TestPortOutput::portNamesStayPorts()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, said);

    QVERIFY(openWindow(invoicePage(QStringLiteral("račun"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + name.replace("%DIR%", workDir->path().toLocal8Bit()) + "\n"));
    QVERIFY2(failure().contains(said), qPrintable(failure()));
    QVERIFY(readFile(QStringLiteral("settings.ini")).startsWith("[General]")); // not written over
}

void TestPortOutput::encodings_data()
{
    // The whole table of code pages is tst_portbytes'; here, that the window
    // sends what the settings ask for and says what it could not.
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes"); // empty: nothing sent, and a failure naming the value
    QTest::addColumn<int>("replaced");

    const QString croatian = QStringLiteral("ČćĐšž");
    QTest::newRow("CP852 with ESC t 18")
        << QByteArray("portEncoding=cp852\nportCodeTable=18\n") << croatian
        << QByteArray("\x1b\x74\x12\xac\x86\xd1\xe7\xa7") << 0;
    QTest::newRow("CP437 lacks them all") << QByteArray("portEncoding=CP437\n") << croatian << QByteArray("?????") << 5;
    QTest::newRow("unknown encoding") << QByteArray("portEncoding=CP999\n") << croatian << QByteArray() << 0;
}

void TestPortOutput::encodings()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(int, replaced);

    QVERIFY(openWindow(invoicePage(text, QString()), "[General]\nuseSerialPort=true\nprinterPort="
                                                         + pty->slavePath().toLatin1() + "\n" + settings));
    QCOMPARE(pty->read(), bytes);
    if (bytes.isEmpty())
        QVERIFY2(failure().contains(QString::fromLatin1(settings.mid(settings.indexOf('=') + 1).trimmed())),
                 qPrintable(failure()));
    else
        QCOMPARE(failure(), QString());
    QCOMPARE(log->count(QStringLiteral("ispisani su kao '?'")), replaced > 0 ? 1 : 0);
    if (replaced > 0)
        QVERIFY(log->contains(QStringLiteral("nema %1 znak").arg(replaced)));
}

void TestPortOutput::recentInvoicesReprint()
{
    QVERIFY(openWindow(invoicePage(QStringLiteral("Račun 12\nukupno 3,00"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QCOMPARE(pty->read(), QStringLiteral("Račun 12\nukupno 3,00").toUtf8());

    QString listed;
    QString relisted;
    onNextModal([&listed, &relisted](QWidget *) {
        QWidget *dialog = QApplication::activeModalWidget();
        auto *table = dialog ? dialog->findChild<QTableWidget *>(QStringLiteral("tblInvoices")) : nullptr;
        if (!table)
            return;
        const auto rows = [table] {
            return QStringLiteral("%1 %2 %3").arg(table->rowCount()).arg(table->item(0, 1)->text(), table->item(0, 3)->text());
        };
        listed = rows();
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnReprint")), Qt::LeftButton);
        // the reprint shows up in the open list once it is printed
        (void)QTest::qWaitFor([&] { return rows() == QStringLiteral("2 ispisan Račun 12"); }, 10000);
        relisted = rows();
        dialog->close();
    });
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btnRecent")), Qt::LeftButton);
    QVERIFY(waitForOutput(window.get()));
    QCOMPARE(listed, QStringLiteral("1 ispisan Račun 12")); // its first line
    QCOMPARE(relisted, QStringLiteral("2 ispisan Račun 12"));
    QCOMPARE(pty->read(), QStringLiteral("Račun 12\nukupno 3,00").toUtf8());

    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    const QList<JournalEntry> entries = journal.latest(5);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).reprintOf, entries.at(1).id);
    QCOMPARE(entries.at(0).outcome, QLatin1String(JournalEntry::printed));
}

void TestPortOutput::comebackPrintsNothingTwice()
{
    // A service of its own, to take down and bring back on the same port.
    TestServer own;
    QVERIFY(own.start());
    own.content("/updates/checkForUpdates", R"({"version": 0, "files": []})", "application/json");
    own.html("/accounts/login", invoicePage(QStringLiteral("Račun 31\n"), QString()));
    writeSettingsFile("[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n");
    ShellContext context = testContext(own.origin());
    context.retryIntervalMs = 300;
    QVERIFY(openMainWindow(window, context));
    QCOMPARE(pty->read(), QStringLiteral("Račun 31\n").toUtf8());
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    const qint64 printed = journal.latest(1).first().id;

    // Down, the cashier presses F5, and the service comes back by itself.
    const int port = own.port();
    own.stop();
    QSignalSpy loads(webPage(), &ShellPage::loadFinished);
    webPage()->reload();
    QVERIFY(waitForLoads(window.get(), loads, 2)); // the page that failed, and the shell's own
    QVERIFY(own.start(port));
    QTRY_VERIFY_WITH_TIMEOUT(journal.latest(1).first().id != printed, 10000);
    const JournalEntry skipped = journal.latest(1).first();
    QCOMPARE(skipped.outcome, QLatin1String(JournalEntry::skipped));
    QCOMPARE(skipped.reprintOf, printed);
    QVERIFY2(statusMessage().contains(QStringLiteral("već ispisan")), qPrintable(statusMessage()));
    QCOMPARE(pty->read(), QByteArray());

    // An invoice it has not printed yet still comes out the same way.
    own.html("/accounts/login", invoicePage(QStringLiteral("Račun 32\n"), QString()));
    own.stop();
    loads.clear();
    webPage()->reload();
    QVERIFY(waitForLoads(window.get(), loads, 2));
    QVERIFY(own.start(port));
    QTRY_VERIFY_WITH_TIMEOUT(journal.latest(1).first().outcome == QLatin1String(JournalEntry::printed), 10000);
    QCOMPARE(pty->read(), QStringLiteral("Račun 32\n").toUtf8());
}

void TestPortOutput::retryOutputsEveryWaitingInvoice()
{
    // No device yet, and a journal that cannot be written at all.
    const QString device = workDir->filePath(QStringLiteral("kasa"));
    writeSettingsFile("[General]\nuseSerialPort=true\nprinterPort=" + device.toUtf8() + "\n");
    ShellContext context = testContext(service.origin());
    context.journalFile = QStringLiteral("/proc/velmor-nowhere/journal.sqlite");
    service.html("/accounts/login", invoicePage(QStringLiteral("Račun A\n"), QString()));
    QVERIFY(openMainWindow(window, context));
    service.html("/accounts/login", invoicePage(QStringLiteral("Račun B\n"), QString()));
    QSignalSpy loads(webPage(), &ShellPage::loadFinished);
    webPage()->reload();
    QVERIFY(waitForLoads(window.get(), loads));
    QVERIFY2(failure().contains(QStringLiteral("uređaj ne postoji")), qPrintable(failure()));

    QVERIFY(QFile::link(pty->slavePath(), device));
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btnRetryPrint")), Qt::LeftButton);
    QVERIFY(waitForOutput(window.get()));
    QCOMPARE(pty->read(), QStringLiteral("Račun A\nRačun B\n").toUtf8()); // one click, in order
    QCOMPARE(failure(), QString());
}

void TestPortOutput::htmlReprintedToPortAsText()
{
    // Issued for a printer (none here), then the till changes to its receipt printer.
    QVERIFY(openWindow(invoicePage(QString(), QStringLiteral("<html><head><title>x</title></head><body>"
                                                             "<h1>Račun 44</h1><p>Kava 2,00</p></body></html>")),
                       "[General]\nuseSerialPort=false\n"));
    QVERIFY(!failure().isEmpty());
    writeSettingsFile("[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n");
    onNextModal([](QWidget *) {
        if (QWidget *dialog = QApplication::activeModalWidget())
            dialog->close(); // Cancel: the window still reads the file again
    });
    QVERIFY(settingsRoundTrip(window.get()));

    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    for (int reprint = 0; reprint < 2; ++reprint) {
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(waitForOutput(window.get()));
        QCOMPARE(pty->read(), QStringLiteral("Račun 44\nKava 2,00\n").toUtf8());
        QVERIFY2(statusMessage().contains(QStringLiteral("Račun 44")), qPrintable(statusMessage()));
    }
    QCOMPARE(failure(), QString()); // the reprint settled it
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    const QList<JournalEntry> entries = journal.latest(3);
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.at(0).reprintOf, entries.at(2).id); // Ctrl+P takes the invoice issued, not a reprint
    QCOMPARE(entries.at(1).reprintOf, entries.at(2).id);
}

void TestPortOutput::loneSurrogateRefused()
{
    const QByteArray page = "<html><body><input type='hidden' id='PrintInvoiceData'><script>"
                            "document.getElementById('PrintInvoiceData').value = 'Račun 8 \\ud800 kraj';"
                            "</script></body></html>";
    QVERIFY(openWindow(page, "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QCOMPARE(pty->read(), QByteArray());
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    QCOMPARE(journal.latest(1).first().outcome, QLatin1String(JournalEntry::failed));
    QCOMPARE(journal.latest(1).first().kind, QStringLiteral("invoice"));
}

void TestPortOutput::lockedJournalHoldsNothingBack()
{
    QVERIFY(openWindow(invoicePage(QStringLiteral("Račun L1\n"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QCOMPARE(pty->read(), QStringLiteral("Račun L1\n").toUtf8());

    // Another program takes the journal's lock for 8 s.
    QProcess holder;
    holder.start(QStringLiteral(JOURNALLOCK_HARNESS), {workDir->filePath(QStringLiteral("journal.sqlite")),
                                                      QStringLiteral("8000")});
    QVERIFY2(holder.waitForReadyRead(5000) && holder.readAll().startsWith("locked"),
             qPrintable(QStringLiteral("the lock holder said nothing: %1").arg(holder.errorString())));
    QSignalSpy loads(webPage(), &ShellPage::loadFinished);
    for (int i = 2; i <= 3; ++i) {
        service.html("/accounts/login", invoicePage(QStringLiteral("Račun L%1\n").arg(i), QString()));
        webPage()->reload();
        QVERIFY(waitForLoads(window.get(), loads, i - 1));
        QCOMPARE(pty->read(100), QStringLiteral("Račun L%1\n").arg(i).toUtf8());
    }
    // Both came out while the journal was still locked.
    const bool stillLocked = holder.state() == QProcess::Running;
    QVERIFY2(holder.waitForFinished(10000), "the lock holder did not end");
    QVERIFY(stillLocked);

    // Once the lock goes, the journal has them all, in order.
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    QTRY_COMPARE_WITH_TIMEOUT(journal.latest(5).size(), 3, 5000);
    const QList<JournalEntry> entries = journal.latest(5);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(entries.at(i).text, QStringLiteral("Račun L%1\n").arg(3 - i));
        QCOMPARE(entries.at(i).outcome, QLatin1String(JournalEntry::printed));
    }
    QVERIFY(entries.at(0).id > entries.at(1).id);
}

void TestPortOutput::damagedJournalStillPrints()
{
    QVERIFY(writeFile(QStringLiteral("journal.sqlite"), QByteArray(8192, '\xff')));
    QVERIFY(openWindow(invoicePage(QStringLiteral("svejedno"), QString()),
                       "[General]\nuseSerialPort=true\nprinterPort=" + pty->slavePath().toLatin1() + "\n"));
    QCOMPARE(pty->read(), QByteArray("svejedno"));
    auto *said = window->findChild<QMessageBox *>(QStringLiteral("journalProblem"));
    QVERIFY(said);
    QVERIFY2(said->text().contains(QStringLiteral("oštećen")), qPrintable(said->text()));
    Journal journal(QStringLiteral("journal.sqlite"), Journal::ReadOnly);
    QVERIFY(journal.open());
    QCOMPARE(journal.latest(5).size(), 1); // the fresh journal took the invoice
}

QTEST_MAIN(TestPortOutput)
#include "tst_portoutput.moc"
