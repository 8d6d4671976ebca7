#pragma once

#include "outputsetup.h"
#include "portoutput.h"
#include "printsystem.h"
#include "shellcontext.h"
#include "shellpage.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class InvoiceRenderer;
class Journal;
struct JournalEntry;
class QTemporaryFile;
class SerialPort;

// Every invoice the till outputs, without widgets: where it goes (the port or
// a printer, as the settings say), its journal entry before and after, the
// invoices not output yet, and one invoice at a time: one that comes while
// another is under way waits its turn. Nothing here waits in a loop of its
// own: a port write and a print job end by signal, so the window keeps
// running meanwhile.
class InvoiceOutput final : public QObject
{
    Q_OBJECT

public:
    // Makes what renders a printed invoice (the engine's), when the first
    // one comes and again after one that did not end.
    using RendererFactory = std::function<std::unique_ptr<InvoiceRenderer>()>;

    InvoiceOutput(const ShellContext &context, RendererFactory makeRenderer, QObject *parent = nullptr);
    ~InvoiceOutput() override;

    // Opens the journal (its pruning is later, when the till is idle, and
    // daily from then on).
    void openJournal();
    Journal &journal() { return *invoiceJournal; }

    // Follows what the settings file says now; the same choice changes nothing.
    void configure();
    bool portMode() const { return useSerialPort; }
    // What the status bar shows of the output in use.
    QString outputShown();
    // The printer the next invoice goes to; none in port mode.
    std::optional<QString> printerInUse(const PrinterList &printers);
    void setKnownPrinters(const PrinterList &printers);
    // How long a printed invoice's images may take.
    void setRenderWait(int waitMs) { renderWaitMs = waitMs; }

    // The invoice a document of the service left. One that a load the shell
    // started itself brought prints nothing the journal shows printed from
    // that page already.
    void pageLoaded(const PageInvoice &invoice, bool startedByShell);

    void retryFailed();
    void dismissFailed() { failedInvoices.clear(); }
    void reprintLatest();
    void reprint(const JournalEntry &entry);

    bool busy() const { return outputBusy; }
    // The invoice under way gives up (a port write, a render, a print job
    // not yet taken, which is cancelled if it was); those that wait go to
    // the journal as not output.
    void stop();

signals:
    void message(const QString &text, int timeoutMs);
    // `count` invoices are not output; the latest failed for `reason`. None: 0.
    void failuresChanged(const QString &reason, int count);
    void outputShownChanged(const QString &text);
    void journalProblem(const QString &problem);
    // An entry was added to the journal or its outcome written.
    void journalChanged();
    // The output in progress is over and nothing waits.
    void idle();

private:
    // One invoice to output: as a page left it, or again from the journal.
    struct Invoice
    {
        QString text;
        bool html = false;    // HTML (the printer element) or plain text (the port element)
        QUrl page;
        qint64 reprintOf = 0; // the journal entry it prints again; 0 for a new invoice
        qint64 key = 0;       // its place among the invoices not output; 0 until it has one
        bool broughtBackByShell = false; // by a load the shell made itself
    };
    // The invoice under way, as it was set out.
    struct Current
    {
        Invoice invoice;
        bool portMode = false;
        QString target;
        QString text;
        qint64 id = 0;
        // Once set, the print job of this invoice does not go, or is
        // cancelled if it went.
        std::shared_ptr<std::atomic<bool>> abandon = std::make_shared<std::atomic<bool>>(false);
    };

    void output(const Invoice &invoice);
    void start(const Invoice &invoice);
    void begin(const Invoice &invoice, bool portMode, const PrinterList &printers);
    void printHtml(const QString &printerName, const PaperSize &paper);
    void on_rendered(bool ok, const QString &problem);
    void dropRenderer();
    void finish(const OutputResult &result);
    void startNext();
    // Records a load of the shell's own that brought back an invoice the
    // journal shows printed from that page, and says so.
    bool printedAlready(const Invoice &invoice);
    void noteJournal();
    QString portTarget() const;
    QString printerForNextInvoice(const PrinterList &list);
    QString printerAtSetUp(const PrinterList &list) const;

    ShellContext context;
    RendererFactory makeRenderer;
    int renderWaitMs = 500;
    QTimer renderDeadline; // a render that never ends holds no invoice after it
    QTimer pruneTimer;
    std::unique_ptr<Journal> invoiceJournal;
    QTimer heldJournalTimer; // writes what the journal holds while another program locks it
    std::unique_ptr<InvoiceRenderer> renderer; // made at the first printed invoice
    std::unique_ptr<QTemporaryFile> pdf;        // the invoice under way, rendered

    bool useSerialPort = false; // printer mode until the settings say otherwise
    QString portName;
    bool configured = false;
    // What the settings chose when the output was last set up. Its printer
    // (empty for the default) is looked up for each invoice, so that one that
    // was away is used again once it is back.
    OutputSetup outputInUse;
    // What the set-up found for that printer: itself, or the default one when
    // it was not installed then (empty when there was none either); none
    // until the print system has answered once.
    std::optional<QString> configuredPrinter;
    PrinterList knownPrinters; // as the print system last answered

    QList<Invoice> failedInvoices; // not output yet, in the order they were issued
    QString lastFailure;           // why the latest attempt failed
    bool outputBusy = false;
    Current current;
    // Shared with a port write, which may outlive this object.
    std::shared_ptr<std::atomic<bool>> stopOutput = std::make_shared<std::atomic<bool>>(false);
    QList<Invoice> waitingOutputs; // came while another was being output
    qint64 unjournalled = 0;
};
