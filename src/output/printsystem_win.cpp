// Windows: Qt prints natively; the spooler's refusals are not seen here.
#include "printsystem.h"

bool printSystemTakesDocuments()
{
    return false;
}

QString printerProblem(const QString &)
{
    return QString();
}

PrintJob submitDocument(const QString &, const QString &, const QString &)
{
    return {0, QStringLiteral("ovaj sustav ne prima dokumente izravno")};
}
