#include "portoutput.h"

#include "background.h"

#include "portencoding.h"
#include "serialport.h"

#include <QDebug>

OutputResult writeInvoiceToPort(SerialPort &port, const QString &text, const PortFormat &format,
                                const std::atomic<bool> *stop)
{
    const PortBytes bytes = portBytes(text, format.encoding, format.codeTable);
    if (!bytes.ok())
        return OutputResult::failed(OutputResult::Setting, bytes.problem);
    if (bytes.replaced > 0)
        qWarning().noquote() << QStringLiteral("Kodna stranica %1 nema %2 znak(ova) računa; ispisani su kao '?'")
                                    .arg(format.encoding)
                                    .arg(bytes.replaced);

    if (!port.open()) {
        if (port.portName().isEmpty())
            return OutputResult::failed(OutputResult::Setting, QStringLiteral("u postavkama nije zadan port"));
        return OutputResult::failed(OutputResult::Device, QStringLiteral("port %1 se ne može otvoriti (%2)")
                                        .arg(port.portName(), port.errorString()));
    }

    if (!port.deviceReady())
        qDebug().noquote() << QStringLiteral("nije upaljeno: port %1 ne javlja spremnost (DSR); račun se ipak šalje")
                                  .arg(port.portName());
    // A printer that says it cannot print now fails the invoice, which waits
    // for "Ponovi ispis"; one that says nothing is written to.
    const QString problem = port.printerProblem();
    if (!problem.isEmpty()) {
        port.close();
        return OutputResult::failed(OutputResult::Device,
                                    QStringLiteral("pisač %1 ne može ispisati: %2").arg(port.portName(), problem));
    }

    // The drawer opens as the receipt starts; the cut comes after its last line.
    const QByteArray sent = (format.openDrawer ? drawerPulse : QByteArray()) + bytes.bytes
                            + (format.cutPaper ? feedAndCut : QByteArray());
    const bool written = port.write(sent, stop);
    const QString writeError = port.errorString();
    if (!written)
        qDebug().noquote() << QStringLiteral("nisam upisao nista: port %1 (%2)").arg(port.portName(), writeError);
    port.close();

    if (!written)
        return OutputResult::failed(stop && *stop ? OutputResult::Stopped : OutputResult::Device,
                                    QStringLiteral("upis na port %1 nije uspio (%2)").arg(port.portName(), writeError));
    return OutputResult::ok();
}

void writeInvoiceToPortLater(const QString &portName, const QString &text, const PortFormat &format,
                             std::shared_ptr<const std::atomic<bool>> stop, QObject *receiver,
                             std::function<void(const OutputResult &)> done)
{
    // The port is made, used and closed on the worker: it belongs to no other thread.
    runLater<OutputResult, QObject>(
        [portName, text, format, stop] {
            SerialPort port(portName);
            return writeInvoiceToPort(port, text, format, stop.get());
        },
        receiver, std::move(done));
}
