#include "printdocument.h"

#include "background.h"
#include "fileproblem.h"
#include "printsystem.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <QTemporaryFile>

PrinterList askPrinters()
{
    if (!printSystemTakesDocuments()) {
        PrinterList list; // the platform's own list, through Qt
        list.answered = true;
        list.names = QPrinterInfo::availablePrinterNames();
        list.defaultName = QPrinterInfo::defaultPrinterName();
        return list;
    }
    PrinterList late;
    late.problem = printSystemSilent();
    return runInBackground<PrinterList>([] { return installedPrinters(); }, printSystemWaitMs, late);
}

void askPrintersLater(QObject *receiver, std::function<void(const PrinterList &)> done)
{
    if (!printSystemTakesDocuments()) {
        const PrinterList list = askPrinters(); // the platform's own, at once
        QMetaObject::invokeMethod(receiver, [done, list] { done(list); }, Qt::QueuedConnection);
        return;
    }
    PrinterList late;
    late.problem = printSystemSilent();
    runLaterWithin<PrinterList, QObject>([] { return installedPrinters(); }, printSystemWaitMs, late, receiver,
                                         std::move(done));
}

void printDocumentLater(const QString &printerName, const std::function<void(QPrinter &)> &paint, const QString &title,
                        QObject *receiver, std::function<void(const OutputResult &)> done)
{
    if (!printSystemTakesDocuments()) {
        // The platform prints natively, without a wait of its own.
        QPrinter printer(QPrinterInfo::printerInfo(printerName), QPrinter::HighResolution);
        const OutputResult result = printDocument(printer, paint, title);
        QMetaObject::invokeMethod(receiver, [done, result] { done(result); }, Qt::QueuedConnection);
        return;
    }
    // On the queue's own paper (a receipt roll is no A4), asked off the GUI thread.
    runLaterWithin<PaperSize, QObject>(
        [printerName] { return defaultPaper(printerName); }, printSystemWaitMs, PaperSize(), receiver,
        [printerName, paint, title, receiver, done](const PaperSize &paper) {
            QTemporaryFile pdf(QDir::temp().filePath(QStringLiteral("velmor-ispis-XXXXXX.pdf")));
            if (!pdf.open()) {
                done(OutputResult::failed(OutputResult::Local,
                                          QStringLiteral("privremena datoteka za ispis se ne može napraviti (%1)")
                                              .arg(fileProblem(pdf))));
                return;
            }
            pdf.close();
            {
                QPrinter file(QPrinter::HighResolution);
                file.setOutputFormat(QPrinter::PdfFormat);
                file.setOutputFileName(pdf.fileName());
                file.setPageLayout(pageLayoutFor(paper, file.pageLayout()));
                file.setDocName(title);
                paint(file);
            }
            pdf.setAutoRemove(false); // the worker's from here on
            submitPdfLater(printerName, pdf.fileName(), title, std::make_shared<std::atomic<bool>>(false), receiver,
                           done);
        });
}

QPageLayout pageLayoutFor(const PaperSize &paper, const QPageLayout &otherwise)
{
    if (!paper.known)
        return otherwise;
    return QPageLayout(QPageSize(QSizeF(paper.widthMm, paper.heightMm), QPageSize::Millimeter), QPageLayout::Portrait,
                       QMarginsF(paper.leftMm, paper.topMm, paper.rightMm, paper.bottomMm), QPageLayout::Millimeter);
}

OutputResult printDocument(QPrinter &printer, const std::function<void(QPrinter &)> &paint, const QString &title)
{
    const QString name = printer.printerName();
    if (!printSystemTakesDocuments()) {
        paint(printer);
        if (printer.printerState() == QPrinter::Error)
            return OutputResult::failed(OutputResult::Printer, QStringLiteral("pisač %1 je odbio ispis").arg(name));
        return OutputResult::ok();
    }

    // Asked first, so that a printer gone, stopped or refusing is named; the
    // job then goes as a file of our own, so that a refusal is seen too.
    const OutputResult ready = runInBackground<OutputResult>(
        [name] { return printerProblem(name); }, printSystemWaitMs,
        OutputResult::failed(OutputResult::PrintSystem, printSystemSilent()));
    if (!ready.done)
        return ready;
    QTemporaryFile pdf(QDir::temp().filePath(QStringLiteral("velmor-ispis-XXXXXX.pdf")));
    if (!pdf.open())
        return OutputResult::failed(OutputResult::Local,
                                    QStringLiteral("privremena datoteka za ispis se ne može napraviti (%1)")
                                        .arg(fileProblem(pdf)));
    pdf.close();
    QPrinter file(QPrinter::HighResolution);
    file.setOutputFormat(QPrinter::PdfFormat);
    file.setOutputFileName(pdf.fileName());
    file.setPageLayout(printer.pageLayout());
    file.setFullPage(printer.fullPage());
    file.setDocName(title);
    paint(file);
    const QString pdfPath = pdf.fileName();
    PrintJob late;
    late.problem = QStringLiteral("pisač %1 nije dobio posao: %2").arg(name, printSystemSilent());
    late.failure = OutputResult::PrintSystem;
    const PrintJob job = runInBackground<PrintJob>([name, pdfPath, title] { return submitDocument(name, pdfPath, title); },
                                                   printSystemWaitMs, late);
    return job.id ? OutputResult::ok(job.id) : OutputResult::failed(job.failure, job.problem);
}

std::unique_ptr<QPrinter> makePrinter(const QString &name)
{
    const QList<QPrinterInfo> printers = name.isEmpty() ? QList<QPrinterInfo>() : QPrinterInfo::availablePrinters();
    for (const QPrinterInfo &info : printers) {
        if (info.printerName() == name) {
            auto printer = std::make_unique<QPrinter>(info, QPrinter::PrinterResolution);
            printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
            return printer;
        }
    }
    return std::make_unique<QPrinter>(QPrinter::ScreenResolution); // the system's default printer
}

std::optional<QPageLayout> invoicePageLayout(const QString &name, bool settingsPrinter, const PaperSize &paper)
{
    const std::unique_ptr<QPrinter> printer =
        settingsPrinter ? makePrinter(name)
                        : std::make_unique<QPrinter>(QPrinterInfo::printerInfo(name), QPrinter::ScreenResolution);
    if (!printer->isValid() || printer->printerName().isEmpty())
        return std::nullopt;
    QPageLayout layout = printer->pageLayout();
    if (printer->fullPage())
        layout.setMode(QPageLayout::FullPageMode);
    return pageLayoutFor(paper, layout);
}

void submitPdfLater(const QString &printerName, const QString &pdfPath, const QString &title,
                    const std::shared_ptr<std::atomic<bool>> &abandon, QObject *receiver,
                    std::function<void(const OutputResult &)> done)
{
    if (!printSystemTakesDocuments()) {
        QFile::remove(pdfPath);
        QMetaObject::invokeMethod(
            receiver,
            [done] {
                done(OutputResult::failed(OutputResult::PrintSystem,
                                          QStringLiteral("ovaj sustav za ispis ne prima PDF dokumente")));
            },
            Qt::QueuedConnection);
        return;
    }
    const OutputResult stopped = OutputResult::failed(OutputResult::Stopped, QStringLiteral("ispis je prekinut"));
    std::function<OutputResult()> work = [printerName, pdfPath, title, abandon, stopped] {
        const auto removePdf = qScopeGuard([&pdfPath] { QFile::remove(pdfPath); });
        // Asked first, so that a printer gone, stopped or refusing is named;
        // the job then goes as a file of our own, so that a refusal is seen too.
        const OutputResult ready = printerProblem(printerName);
        if (!ready.done)
            return ready;
        if (*abandon)
            return stopped;
        const PrintJob job = submitDocument(printerName, pdfPath, title);
        if (job.id && *abandon) {
            // Given up on while it went: it must not print behind the
            // caller's back.
            if (!cancelJob(printerName, job.id))
                qWarning().noquote() << "Posao" << job.id << "na pisaču" << printerName
                                     << "nije se mogao otkazati nakon isteka čekanja";
            return stopped;
        }
        return job.id ? OutputResult::ok(job.id) : OutputResult::failed(job.failure, job.problem);
    };
    const OutputResult late = OutputResult::failed(
        OutputResult::PrintSystem,
        QStringLiteral("pisač %1 nije dobio posao: %2").arg(printerName, printSystemSilent()));
    // Settled as failed once the wait is over: the worker sends nothing after that.
    runLaterWithin<OutputResult, QObject>(std::move(work), 2 * printSystemWaitMs, late, receiver, std::move(done),
                                          [abandon] { *abandon = true; });
}
