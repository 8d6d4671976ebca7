#include "cupsscheduler.h"
#include "invoiceoutput.h"
#include "invoicerenderer.h"
#include "journal.h"
#include "testhelpers.h"

#include <QPainter>
#include <QPdfWriter>
#include <QSignalSpy>
#include <QtTest>

// Printed invoices with a renderer the test scripts: one that never ends, or
// whose process dies, holds no invoice after it, and stopping ends it.
class TestInvoiceOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rendersThatDoNotEnd_data();
    void rendersThatDoNotEnd();
    void broughtBackSettlesTheFailedOne();

private:
    CupsScheduler cups;
};

namespace {

// Renders as the row says, one word per invoice: "ok", "hang" or "gone".
class ScriptedRenderer final : public InvoiceRenderer
{
public:
    explicit ScriptedRenderer(QStringList *script)
        : script(script)
    {
    }

    void render(const QString &, const QPageLayout &, const QString &, const QString &pdfPath, int) override
    {
        const QString how = script->isEmpty() ? QStringLiteral("ok") : script->takeFirst();
        if (how == QLatin1String("hang"))
            return;
        if (how == QLatin1String("ok")) {
            QPdfWriter pdf(pdfPath);
            QPainter(&pdf).drawText(100, 100, QStringLiteral("RAČUN"));
        }
        QMetaObject::invokeMethod(
            this, [this, how] { emit rendered(how == QLatin1String("ok"), QStringLiteral("prikaz je nestao")); },
            Qt::QueuedConnection);
    }

private:
    QStringList *script;
};

} // namespace

void TestInvoiceOutput::initTestCase()
{
    QVERIFY(cups.start({QStringLiteral("Blagajna")}, QStringLiteral("Blagajna")));
}

void TestInvoiceOutput::rendersThatDoNotEnd_data()
{
    QTest::addColumn<QStringList>("renders");
    QTest::addColumn<bool>("stop");         // the cashier stops the first one
    QTest::addColumn<QStringList>("kinds"); // oldest first; "" printed

    QTest::newRow("never ends, the next one prints") << QStringList{"hang", "ok"} << false
                                                     << QStringList{"local", ""};
    QTest::newRow("its process dies") << QStringList{"gone", "ok"} << false << QStringList{"local", ""};
    QTest::newRow("stopped while it renders") << QStringList{"hang", "ok"} << true
                                              << QStringList{"stopped", "stopped"};
}

void TestInvoiceOutput::rendersThatDoNotEnd()
{
    QFETCH(QStringList, renders);
    QFETCH(bool, stop);
    QFETCH(QStringList, kinds);

    QTemporaryDir folder; // the working folder holds the settings and the journal
    QVERIFY(QDir::setCurrent(folder.path()));
    ShellContext context = testContext(QStringLiteral("https://service.test"));
    context.pageTimeoutMs = stop ? 60000 : 500; // a render's deadline past its wait
    QVERIFY(writeFile(context.settingsFile, "useSerialPort=false\nprinterPort=Blagajna\n"));
    QStringList script = renders;
    InvoiceOutput output(context, [&script] { return std::make_unique<ScriptedRenderer>(&script); });
    output.setRenderWait(0);
    output.openJournal();
    output.configure();
    QSignalSpy idle(&output, &InvoiceOutput::idle);
    for (int i = 1; i <= 2; ++i) {
        PageInvoice invoice;
        invoice.url = QUrl(QStringLiteral("https://service.test/racun"));
        invoice.htmlInvoice = QStringLiteral("<p>RAČUN %1</p>").arg(i);
        output.pageLoaded(invoice, false);
    }
    if (stop) {
        QTRY_VERIFY_WITH_TIMEOUT(script.size() < renders.size(), 15000); // the first is rendering
        output.stop();
    }
    QVERIFY2(idle.wait(30000), "the output never ended");
    QStringList seen;
    const QList<JournalEntry> entries = output.journal().latest(10);
    for (auto it = entries.crbegin(); it != entries.crend(); ++it)
        seen << it->kind;
    QCOMPARE(seen, kinds);
    QVERIFY(cups.waitForJobs(kinds.count(QString())));
}

void TestInvoiceOutput::broughtBackSettlesTheFailedOne()
{
    // An invoice that failed, brought back by the shell's own load once the
    // device is there again, prints once: "Ponovi ispis" has nothing left.
    QTemporaryDir folder;
    QVERIFY(QDir::setCurrent(folder.path()));
    const ShellContext context = testContext(QStringLiteral("https://service.test"));
    QVERIFY(writeFile(context.settingsFile, "useSerialPort=true\nprinterPort=/dev/velmor-none\n"));
    InvoiceOutput output(context, [] { return std::unique_ptr<InvoiceRenderer>(); });
    output.openJournal();
    output.configure();
    QSignalSpy idle(&output, &InvoiceOutput::idle);
    PageInvoice invoice;
    invoice.url = QUrl(QStringLiteral("https://service.test/racun"));
    invoice.portInvoice = QStringLiteral("RAČUN 1");
    output.pageLoaded(invoice, false);
    QVERIFY(idle.wait(5000));
    QVERIFY(writeFile(context.settingsFile, "useSerialPort=true\nprinterPort=/dev/null\n"));
    output.configure();
    output.pageLoaded(invoice, true);
    QVERIFY(idle.wait(5000));
    output.retryFailed();
    QTest::qWait(100);
    const QList<JournalEntry> entries = output.journal().latest(10);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(1).outcome, QLatin1String(JournalEntry::failed));
    QCOMPARE(entries.at(0).outcome, QLatin1String(JournalEntry::printed));
    QCOMPARE(entries.at(0).reprintOf, entries.at(1).id);
}

QTEST_MAIN(TestInvoiceOutput)
#include "tst_invoiceoutput.moc"
