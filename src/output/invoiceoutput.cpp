#include "invoiceoutput.h"

#include "settingskeys.h"
#include "startupsettings.h"

#include <QDebug>
#include <QEventLoop>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSettings>
#include <QTimer>
#include <QWebElement>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

OutputSelection readOutputSelection()
{
    QSettings settings(SettingsKeys::fileName, QSettings::IniFormat);
    OutputSelection selection;
    selection.hasMode = settings.contains(SettingsKeys::useSerialPort);
    // Qt's rule for text: empty, "0" and "false" in any case are false.
    selection.useSerialPort = QVariant(settingsText(settings.value(SettingsKeys::useSerialPort))).toBool();
    selection.hasPort = settings.contains(SettingsKeys::printerPort);
    selection.printerPort = settingsText(settings.value(SettingsKeys::printerPort));
    return selection;
}

std::unique_ptr<SerialPort> makeOutputPort(const QString &name)
{
    auto port = std::make_unique<SerialPort>(name, SerialPort::EventDriven);
    port->setBaudRate(SerialPort::BAUD9600);
    port->setFlowControl(SerialPort::FLOW_OFF);
    port->setParity(SerialPort::PAR_NONE);
    port->setDataBits(SerialPort::DATA_8);
    port->setStopBits(SerialPort::STOP_2);
    return port;
}

std::unique_ptr<QPrinter> makeNamedPrinter(const QString &name)
{
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    for (const QPrinterInfo &info : printers) {
        if (info.printerName() == name) {
            auto printer = std::make_unique<QPrinter>(info, QPrinter::PrinterResolution);
            printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
            return printer;
        }
    }
    return nullptr;
}

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

OutputResult writeInvoiceToPort(SerialPort &port, const QString &text)
{
    if (!port.open(QIODevice::ReadWrite)) {
        if (port.portName().isEmpty())
            return OutputResult::failed(QStringLiteral("u postavkama nije zadan port"));
        return OutputResult::failed(QStringLiteral("port %1 se ne moze otvoriti (%2)")
                                        .arg(port.portName(), port.errorString()));
    }

    if (!(port.lineStatus() & SerialPort::LS_DSR))
        qDebug("nije upaljeno");

    const QByteArray bytes = text.toUtf8();
    const bool written = port.write(bytes.constData()) != -1;
    const QString writeError = port.errorString();
    if (!written)
        qDebug("nisam upisao nista");

    port.flush();
    port.close();

    if (!written)
        return OutputResult::failed(QStringLiteral("upis na port %1 nije uspio (%2)").arg(port.portName(), writeError));
    return OutputResult::ok();
}

std::unique_ptr<QWebView> renderInvoice(const QString &html, int timeoutMs)
{
    // A view of its own: it shares neither page nor network access with the
    // main view, and is never shown.
    auto view = std::make_unique<QWebView>();
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
        return OutputResult::failed(QStringLiteral("nema dostupnog pisaca"));

    view.page()->mainFrame()->print(&printer);
    if (printer.printerState() == QPrinter::Error)
        return OutputResult::failed(QStringLiteral("pisac %1 je odbio ispis").arg(printer.printerName()));
    return OutputResult::ok();
}
