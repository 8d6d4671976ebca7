#include "invoiceoutput.h"

#include "background.h"
#include "fileproblem.h"
#include "invoicerenderer.h"
#include "invoicetext.h"
#include "journal.h"
#include "portname.h"
#include "printdocument.h"
#include "settingsfile.h"

#include <QDateTime>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QTemporaryFile>

#include <algorithm>

namespace {

OutputResult stoppedForClosing()
{
    return OutputResult::failed(OutputResult::Stopped,
                                QCoreApplication::translate("InvoiceOutput", "ispis je prekinut jer se program zatvarao"));
}

// The printed invoice's name, in the PDF and in the print queue.
QString invoiceDocumentTitle()
{
    return InvoiceOutput::tr("Račun");
}

} // namespace

InvoiceOutput::InvoiceOutput(const ShellContext &context, RendererFactory makeRenderer, QObject *parent)
    : QObject(parent)
    , context(context)
    , makeRenderer(std::move(makeRenderer))
    , invoiceJournal(std::make_unique<Journal>(context.journalFile))
{
    renderDeadline.setSingleShot(true);
    connect(&renderDeadline, &QTimer::timeout, this, [this] {
        qWarning().noquote() << "Račun se nije pripremio za ispis na vrijeme; priprema se prekida";
        dropRenderer();
        finish(OutputResult::failed(OutputResult::Local, tr("račun se nije stigao pripremiti za ispis")));
    });
    // The journal never holds up printing: when it cannot be used, invoices
    // still go out, and the user hears of it once.
    heldJournalTimer.setInterval(500);
    connect(&heldJournalTimer, &QTimer::timeout, this, [this] {
        if (invoiceJournal->writeHeld())
            heldJournalTimer.stop();
        noteJournal();
    });
}

InvoiceOutput::~InvoiceOutput()
{
    *stopOutput = true; // a port write still under way gives up
}

void InvoiceOutput::openJournal()
{
    invoiceJournal->open(Journal::PruneLater);
    noteJournal();
    // A till that is never restarted keeps no more than one that is.
    pruneTimer.setInterval(24 * 60 * 60 * 1000);
    connect(&pruneTimer, &QTimer::timeout, this, [this] { invoiceJournal->prune(); });
    QTimer::singleShot(context.journalPruneDelayMs, this, [this] {
        invoiceJournal->prune();
        pruneTimer.start();
    });
}

void InvoiceOutput::noteJournal()
{
    // Entries another program's lock holds back are written once it goes.
    if (invoiceJournal->hasHeld() && !heldJournalTimer.isActive())
        heldJournalTimer.start();
    const QString problem = invoiceJournal->takeProblem();
    if (!problem.isEmpty())
        emit journalProblem(problem);
}

void InvoiceOutput::configure()
{
    const OutputSetup setup = decideOutput(SettingsFile(context.settingsFile).outputSelection(), useSerialPort);
    // The same choice (a dialog cancelled, or OK on what was there) changes
    // nothing: a printer chosen earlier is not swapped for the default one.
    if (configured && setup == outputInUse) {
        emit outputShownChanged(outputShown());
        return;
    }
    configured = true;
    outputInUse = setup;
    useSerialPort = setup.useSerialPort;
    portName = setup.portName;
    configuredPrinter.reset();
    emit outputShownChanged(outputShown());
    if (useSerialPort)
        return;
    // Asked off the GUI thread: a print system that does not answer never
    // keeps the window from coming up.
    const QString asked = outputInUse.printerName;
    runLater<PrinterList, InvoiceOutput>([] { return installedPrinters(); }, this,
                                         [this, asked](const PrinterList &list) {
                                             if (asked != outputInUse.printerName || configuredPrinter)
                                                 return; // set up again since, or an invoice has settled it
                                             knownPrinters = list;
                                             if (list.answered)
                                                 configuredPrinter = printerAtSetUp(list);
                                             emit outputShownChanged(outputShown());
                                         });
}

std::optional<QString> InvoiceOutput::printerInUse(const PrinterList &printers)
{
    if (useSerialPort)
        return std::nullopt;
    return printerForNextInvoice(printers);
}

void InvoiceOutput::setKnownPrinters(const PrinterList &printers)
{
    knownPrinters = printers;
}

QString InvoiceOutput::printerAtSetUp(const PrinterList &list) const
{
    // The printer the settings name, or the default one when it is not installed.
    return list.names.contains(outputInUse.printerName) ? outputInUse.printerName : list.defaultName;
}

QString InvoiceOutput::outputShown()
{
    if (useSerialPort)
        return portName.isEmpty() ? tr("Ispis: port nije zadan") : tr("Ispis: port %1").arg(portTarget());
    if (!knownPrinters.answered)
        return knownPrinters.problem.isEmpty() ? tr("Ispis: pisač %1").arg(outputInUse.printerName)
                                               : tr("Ispis: pisač (%1)").arg(knownPrinters.problem);
    const QString printerName = printerForNextInvoice(knownPrinters);
    return printerName.isEmpty() ? tr("Ispis: nema pisača") : tr("Ispis: pisač %1").arg(printerName);
}

QString InvoiceOutput::printerForNextInvoice(const PrinterList &list)
{
    // The printer the settings name once it is there (again); otherwise what
    // the set-up chose, which fails the invoice when it has gone since:
    // an invoice is never sent to a printer nobody chose.
    // Exactly that name: CUPS itself would also answer to another letter case.
    // None named: the default one of the moment.
    if (!configuredPrinter && list.answered)
        configuredPrinter = printerAtSetUp(list);
    if (outputInUse.printerName.isEmpty())
        return list.defaultName;
    if (list.names.contains(outputInUse.printerName))
        return outputInUse.printerName;
    return configuredPrinter.value_or(QString());
}

QString InvoiceOutput::portTarget() const
{
    const QString device = devicePathFor(portName);
    return device == portName ? portName : QStringLiteral("%1 (%2)").arg(portName, device);
}

void InvoiceOutput::pageLoaded(const PageInvoice &taken, bool startedByShell)
{
    const QString invoice = useSerialPort ? taken.portInvoice : taken.htmlInvoice;
    if (invoice.isEmpty())
        return;
    Invoice next{invoice, !useSerialPort, taken.url, 0, 0};
    next.broughtBackByShell = startedByShell;
    output(next);
}

bool InvoiceOutput::printedAlready(const Invoice &invoice)
{
    // Nobody at the till asked for a load the shell made itself: what it
    // brings back was printed already, unless the journal says otherwise.
    const QString page = invoice.page.toString(QUrl::RemoveUserInfo);
    const qint64 printedBefore = invoiceJournal->printedFrom(page, invoice.text);
    if (printedBefore <= 0)
        return false;
    JournalEntry entry;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.page = page;
    entry.mode = QLatin1String(invoice.html ? JournalEntry::printerMode : JournalEntry::portMode);
    entry.text = invoice.text;
    entry.reprintOf = printedBefore;
    entry.reason = tr("već ispisan; stranicu je ponovno učitao program");
    invoiceJournal->recordSkipped(entry);
    noteJournal();
    emit journalChanged();
    qInfo().noquote() << "Račun nije ponovno ispisan: stranicu" << page
                      << "ponovno je učitao program, a račun je već ispisan";
    emit message(tr("Stranica je ponovno učitana; njezin je račun već ispisan i nije ispisan ponovno."), 15000);
    return true;
}

void InvoiceOutput::stop()
{
    *stopOutput = true;
    *current.abandon = true;
    // A render has nothing to give up halfway: it ends here.
    if (renderDeadline.isActive()) {
        dropRenderer();
        finish(stoppedForClosing());
    }
}

void InvoiceOutput::output(const Invoice &invoice)
{
    // An invoice that comes meanwhile waits its turn instead of interleaving.
    if (outputBusy) {
        waitingOutputs.append(invoice);
        return;
    }
    outputBusy = true;
    *stopOutput = false;
    start(invoice);
}

void InvoiceOutput::start(const Invoice &next)
{
    Invoice invoice = next;
    // Decided when its turn comes, not when it came: the same invoice still
    // waiting or under way then has its outcome in the journal.
    if (invoice.broughtBackByShell) {
        if (printedAlready(invoice)) {
            startNext();
            return;
        }
        // One that failed before is this one again: printing it settles
        // that one, so "Ponovi ispis" does not print it a second time.
        const auto failed = std::find_if(failedInvoices.cbegin(), failedInvoices.cend(), [&invoice](const Invoice &f) {
            return f.page == invoice.page && f.text == invoice.text && f.html == invoice.html;
        });
        if (failed != failedInvoices.cend()) {
            invoice.key = failed->key;
            invoice.reprintOf = failed->key > 0 ? failed->key : 0;
        }
    }
    // The printers are looked up for each invoice: one that was away and is
    // back again is used. Asked off the GUI thread; a print system that does
    // not answer in time is asked nothing more.
    if (useSerialPort || !printSystemTakesDocuments()) {
        begin(invoice, useSerialPort, useSerialPort ? PrinterList() : askPrinters());
        return;
    }
    PrinterList late;
    late.problem = printSystemSilent();
    runLaterWithin<PrinterList, InvoiceOutput>([] { return installedPrinters(); }, printSystemWaitMs, late, this,
                                               [this, invoice](const PrinterList &printers) {
                                                   begin(invoice, false, printers);
                                               });
}

void InvoiceOutput::begin(const Invoice &invoice, bool portMode, const PrinterList &printers)
{
    // The output in use now, for the whole of this invoice.
    const PortFormat format{outputInUse.portEncoding, outputInUse.portCodeTable, outputInUse.portCutPaper,
                            outputInUse.portOpenDrawer};
    if (!portMode) {
        knownPrinters = printers;
        emit outputShownChanged(outputShown());
    }
    const QString printerName = portMode || !printers.answered ? QString() : printerForNextInvoice(printers);

    JournalEntry entry;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.page = invoice.page.toString(QUrl::RemoveUserInfo);
    entry.mode = QLatin1String(portMode ? JournalEntry::portMode : JournalEntry::printerMode);
    entry.target = portMode ? portTarget() : printers.answered ? printerName : outputInUse.printerName;
    // A receipt stays a receipt on the other kind of output.
    entry.text = invoiceFor(invoice.text, invoice.html, !portMode);
    entry.reprintOf = invoice.reprintOf;
    current = {invoice, portMode, entry.target, entry.text, invoiceJournal->begin(entry)}; // a crash leaves it pending
    emit journalChanged();

    if (*stopOutput) {
        finish(stoppedForClosing());
    } else if (!invoice.text.isValidUtf16()) {
        // Neither a port nor the journal can take half a character pair as
        // it came; it is not guessed at.
        finish(OutputResult::failed(OutputResult::Invoice,
                                    tr("račun sadrži neispravan znak (surogat bez para) pa nije ispisan")));
    } else if (portMode) {
        writeInvoiceToPortLater(portName, entry.text, format, stopOutput, this,
                                [this](const OutputResult &result) { finish(result); });
    } else if (!printers.answered) {
        finish(OutputResult::failed(OutputResult::PrintSystem, printers.problem));
    } else if (printerName.isEmpty()) {
        finish(OutputResult::failed(OutputResult::Printer, tr("nema dostupnog pisača")));
    } else if (!printers.names.contains(printerName)) {
        // Gone since it was chosen: the print system says why, if it can.
        runLaterWithin<OutputResult, InvoiceOutput>(
            [printerName] { return printerProblem(printerName); }, printSystemWaitMs,
            OutputResult::failed(OutputResult::PrintSystem, printSystemSilent()), this,
            [this, printerName](const OutputResult &result) {
                finish(result.done ? OutputResult::failed(OutputResult::Printer,
                                                          tr("pisač %1 nije instaliran").arg(printerName))
                                   : result);
            });
    } else {
        // The queue's own paper (a receipt roll is no A4), asked off the GUI
        // thread; without an answer, Qt's default it is.
        runLaterWithin<PaperSize, InvoiceOutput>(
            [printerName] { return defaultPaper(printerName); }, printSystemWaitMs, PaperSize(), this,
            [this, printerName](const PaperSize &paper) {
                if (*stopOutput)
                    finish(stoppedForClosing());
                else
                    printHtml(printerName, paper);
            });
    }
}

void InvoiceOutput::printHtml(const QString &printerName, const PaperSize &paper)
{
    // The printer the settings name prints without margins; the default
    // one, as it comes.
    const std::optional<QPageLayout> layout =
        invoicePageLayout(printerName, printerName == outputInUse.printerName, paper);
    if (!layout) {
        finish(OutputResult::failed(OutputResult::Printer, tr("nema dostupnog pisača")));
        return;
    }
    pdf = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("velmor-ispis-XXXXXX.pdf")));
    if (!pdf->open()) {
        finish(OutputResult::failed(OutputResult::Local,
                                    tr("privremena datoteka za ispis se ne može napraviti (%1)").arg(fileProblem(*pdf))));
        return;
    }
    pdf->close();
    if (!renderer) {
        renderer = makeRenderer();
        connect(renderer.get(), &InvoiceRenderer::rendered, this, &InvoiceOutput::on_rendered);
    }
    // The wait for its images, and then as long as a page may take.
    renderDeadline.start(qMax(renderWaitMs, 0) + context.pageTimeoutMs);
    renderer->render(current.text, *layout, invoiceDocumentTitle(), pdf->fileName(), renderWaitMs);
}

void InvoiceOutput::on_rendered(bool ok, const QString &problem)
{
    if (!renderDeadline.isActive())
        return; // given up on already
    renderDeadline.stop();
    if (!ok) {
        dropRenderer(); // one that failed may not be fit for the next
        finish(OutputResult::failed(OutputResult::Local, problem));
        return;
    }
    // The file is the print job's from here on, until the print system is
    // done with it.
    const QString pdfPath = pdf->fileName();
    pdf->setAutoRemove(false);
    pdf.reset();
    submitPdfLater(current.target, pdfPath, invoiceDocumentTitle(), current.abandon, this,
                   [this](const OutputResult &result) { finish(result); });
}

void InvoiceOutput::dropRenderer()
{
    renderDeadline.stop();
    if (renderer) {
        renderer->disconnect(this);
        // From the event loop: it may be the one telling us it failed.
        renderer.release()->deleteLater();
    }
}

void InvoiceOutput::finish(const OutputResult &result)
{
    pdf.reset();
    const Invoice invoice = current.invoice;
    invoiceJournal->finish(current.id, result.done, result.problem, result.jobId, OutputResult::kindName(result.failure));
    noteJournal();
    emit journalChanged();

    // A retry or reprint of an invoice not output settles it, whether the
    // journal took it or not.
    const qint64 key = invoice.key != 0 ? invoice.key
                       : invoice.reprintOf > 0 ? invoice.reprintOf
                       : current.id > 0 ? current.id
                                        : --unjournalled;
    auto waiting = std::find_if(failedInvoices.begin(), failedInvoices.end(),
                                [key](const Invoice &failed) { return failed.key == key; });

    if (result.done) {
        qInfo().noquote() << "Račun ispisan:" << current.target;
        QString shown = tr("Račun ispisan: %1").arg(current.target);
        if (invoice.reprintOf > 0)
            shown = tr("Ponovno ispisan račun „%1”: %2")
                        .arg(invoiceTitle(current.text, !current.portMode), current.target);
        else if (!current.portMode && !outputInUse.printerName.isEmpty() && outputInUse.printerName != current.target)
            shown = tr("Račun ispisan na zadanom pisaču %1 jer pisač %2 nije instaliran.")
                        .arg(current.target, outputInUse.printerName);
        emit message(shown, 8000);
        if (waiting != failedInvoices.end())
            failedInvoices.erase(waiting);
    } else {
        qWarning().noquote() << "Račun nije ispisan:" << current.target << "-" << result.problem;
        lastFailure = result.problem;
        if (waiting == failedInvoices.end()) {
            Invoice failed = invoice;
            failed.key = key;
            failed.reprintOf = 0;
            failedInvoices.append(failed);
        }
    }
    emit failuresChanged(lastFailure, failedInvoices.size());
    startNext();
}

void InvoiceOutput::startNext()
{
    // The next one from the event loop: a chain of invoices that fail at once
    // does not nest.
    if (!waitingOutputs.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { start(waitingOutputs.takeFirst()); }, Qt::QueuedConnection);
        return;
    }
    outputBusy = false;
    emit idle();
}

void InvoiceOutput::retryFailed()
{
    // One click outputs every invoice still waiting, oldest first; a click
    // while they are going out adds nothing twice.
    if (outputBusy)
        return;
    const QList<Invoice> toRetry = failedInvoices;
    for (Invoice invoice : toRetry) {
        invoice.reprintOf = invoice.key > 0 ? invoice.key : 0;
        output(invoice);
    }
}

void InvoiceOutput::reprintLatest()
{
    if (const std::optional<JournalEntry> latest = invoiceJournal->latestIssued()) {
        reprint(*latest);
        return;
    }
    if (!failedInvoices.isEmpty()) { // no journal to read: what this run still holds
        retryFailed();
        return;
    }
    emit message(tr("Nema računa za ponovni ispis."), 5000);
}

void InvoiceOutput::reprint(const JournalEntry &entry)
{
    // The reprint of a reprint still settles the invoice it started from.
    const qint64 original = entry.reprintOf > 0 ? entry.reprintOf : entry.id;
    output({entry.text, entry.mode == QLatin1String(JournalEntry::printerMode), QUrl(entry.page), original, 0});
}
