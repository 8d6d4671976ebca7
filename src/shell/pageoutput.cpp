#include "pageoutput.h"

#include "printdocument.h"

#include <QEventLoop>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QWebSettings>
#include <QWebView>

QString readInvoice(QWebFrame *frame, bool portMode)
{
    // Guarded, so that a page without the element (or with its own error
    // reporting) sees no script error on every load.
    const QString script = portMode
        ? QStringLiteral("(function(){var e=document.getElementById('PrintInvoiceData');return e?e.value:'';})()")
        : QStringLiteral("(function(){var e=document.getElementById('PrintInvoiceDataHTML');return e?e.value:'';})()");
    return frame->evaluateJavaScript(script).toString();
}

void markShownByShell(QWebFrame *frame)
{
    QWebElement marker = frame->findFirstElement(QStringLiteral("#IsShell"));
    if (!marker.isNull())
        marker.setAttribute(QStringLiteral("value"), QStringLiteral("true"));
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

std::unique_ptr<QWebView> renderInvoice(const QString &html, int timeoutMs, QNetworkAccessManager *network)
{
    // A view of its own: it shares neither page nor network access with the
    // main view, and is never shown.
    auto view = std::make_unique<QWebView>();
    // An invoice is a document, not a program: its scripts do not run.
    view->settings()->setAttribute(QWebSettings::JavascriptEnabled, false);
    view->page()->setNetworkAccessManager(network);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool loaded = false;

    if (timeoutMs >= 0)
        timer.start(timeoutMs);
    QObject::connect(view.get(), &QWebView::loadFinished, &loop, [&loaded, &loop] {
        loaded = true;
        loop.quit();
    });
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);

    view->setHtml(html, QUrl());
    // HTML without anything to fetch may finish loading inside setHtml;
    // waiting for a signal already gone would hang when there is no limit.
    if (!loaded)
        loop.exec();
    timer.stop();
    return view;
}

OutputResult printInvoice(QWebView &view, QPrinter &printer)
{
    if (!printer.isValid() || printer.printerName().isEmpty())
        return OutputResult::failed(OutputResult::Printer, QStringLiteral("nema dostupnog pisača"));
    return printDocument(
        printer, [&view](QPrinter &target) { view.page()->mainFrame()->print(&target); }, QStringLiteral("Račun"));
}
