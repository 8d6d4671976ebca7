#include "portoutput.h"

#include "serialport.h"

#include <QDebug>

OutputResult writeInvoiceToPort(SerialPort &port, const QString &text)
{
    if (!port.open()) {
        if (port.portName().isEmpty())
            return OutputResult::failed(QStringLiteral("u postavkama nije zadan port"));
        return OutputResult::failed(QStringLiteral("port %1 se ne moze otvoriti (%2)")
                                        .arg(port.portName(), port.errorString()));
    }

    if (!port.deviceReady())
        qDebug("nije upaljeno");

    QByteArray bytes = text.toUtf8();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    const bool written = port.write(bytes);
    const QString writeError = port.errorString();
    if (!written)
        qDebug("nisam upisao nista");

    port.flush();
    port.close();

    if (!written)
        return OutputResult::failed(QStringLiteral("upis na port %1 nije uspio (%2)").arg(port.portName(), writeError));
    return OutputResult::ok();
}
