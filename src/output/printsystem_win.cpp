// Windows: Qt prints natively; the spooler's refusals are not seen here.
#include "printsystem.h"

bool printSystemTakesDocuments()
{
    return false;
}

PrinterList installedPrinters(int)
{
    return PrinterList(); // the spooler is local: Qt's own list
}

OutputResult printerProblem(const QString &, int)
{
    return OutputResult::ok();
}

PaperSize defaultPaper(const QString &, int)
{
    return PaperSize(); // Qt's printer takes the driver's default paper itself
}

PrintJob submitDocument(const QString &, const QString &, const QString &, int)
{
    return {0, QStringLiteral("ovaj sustav ne prima dokumente izravno"), OutputResult::PrintSystem};
}

bool cancelJob(const QString &, qint64, int)
{
    return false; // no job is handed over here
}
