#pragma once

#include "outputresult.h"
#include "printsystem.h"

#include <QString>

#include <functional>

class QPrinter;

// The installed printers and the default one, asked off the GUI thread: the
// window keeps running meanwhile, and a print system that does not answer
// within its time-out is a list with a problem, not a frozen till.
PrinterList askPrinters();

// Prints what `paint` draws on `printer`, without a dialog. Where the print
// system takes documents (CUPS), the printer is asked first whether it would
// print at all, and the pages go to it as a PDF job of their own, so that a
// refusal is seen and the job id known; elsewhere Qt prints natively.
OutputResult printDocument(QPrinter &printer, const std::function<void(QPrinter &)> &paint, const QString &title);
