// Writes invoices to a port the way the shell does, one open and close each,
// so that a test can run the write as a user without privileges.
// Usage: portwrite_harness <port> <count>; says each outcome on stdout.
#include "portoutput.h"
#include "serialport.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QTextStream out(stdout);
    const QString port = QString::fromLocal8Bit(argv[1]);
    const int count = QByteArray(argv[2]).toInt();
    int failed = 0;
    for (int i = 1; i <= count; ++i) {
        SerialPort serialPort(port);
        const OutputResult result = writeInvoiceToPort(serialPort, QStringLiteral("Račun %1\n").arg(i));
        out << i << ' ' << (result.done ? QStringLiteral("ok") : result.problem) << '\n';
        failed += result.done ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}
