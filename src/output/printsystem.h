#pragma once

#include <QString>

// The operating system's print system, asked directly where Qt's printing
// would drop a job without a word. On CUPS the invoice is handed over as a
// PDF file, so that a refused job is an error with a reason and an accepted
// one has a job id; elsewhere Qt prints natively and nothing is known.

// Whether this platform takes a PDF file as a print job.
bool printSystemTakesDocuments();

// Why the printer would not print a job now (removed, stopped, refusing
// jobs, or the print system not answering); empty when it would, or when
// this platform cannot tell.
QString printerProblem(const QString &printerName);

struct PrintJob
{
    qint64 id = 0;   // the print system's job id; 0 when it was refused
    QString problem; // why, when refused
};

// Hands the PDF file to the printer as one job.
PrintJob submitDocument(const QString &printerName, const QString &pdfPath, const QString &title);
