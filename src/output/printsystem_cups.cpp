// CUPS: the only place that talks to the print system directly.
#include "printsystem.h"

#include <cups/cups.h>

namespace {

// A connection of our own to the scheduler, which gives up on a read that
// gets nothing for `timeoutMs`; the library's shared one waits for ever.
class Connection
{
public:
    explicit Connection(int timeoutMs)
        : http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, timeoutMs, nullptr))
    {
        if (http)
            httpSetTimeout(http, timeoutMs / 1000.0, [](http_t *, void *) { return 0; }, nullptr);
    }
    ~Connection()
    {
        if (http)
            httpClose(http);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    http_t *http;
};

const QString notReached = QStringLiteral("sustav za ispis nije dostupan");

// CUPS says why in English; a cashier gets the usual reasons in words.
QString lastError()
{
    switch (cupsLastError()) {
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
    case IPP_STATUS_ERROR_INTERNAL:
        return printSystemSilent();
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
    case IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED:
        return QStringLiteral("nema dopuštenja za ispis");
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return QStringLiteral("pisač ne prima poslove");
    case IPP_STATUS_ERROR_NOT_FOUND:
        return QStringLiteral("pisač ne postoji");
    case IPP_STATUS_ERROR_DOCUMENT_FORMAT_NOT_SUPPORTED:
    case IPP_STATUS_ERROR_DOCUMENT_FORMAT_ERROR:
        return QStringLiteral("pisač ne prima taj oblik dokumenta");
    default:
        return QStringLiteral("greška sustava za ispis 0x%1").arg(int(cupsLastError()), 4, 16, QLatin1Char('0'));
    }
}

// Asks the printer's queue for the attributes named; the response (to be
// freed with ippDelete), or null. cupsLastError() says how it went.
ipp_t *printerAttributes(http_t *http, const QString &printerName, const char *const *wanted, int count)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     printerName.toUtf8().constData());
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", count, nullptr, wanted);
    return cupsDoRequest(http, request, "/"); // frees the request
}

} // namespace

bool printSystemTakesDocuments()
{
    return true;
}

PrinterList installedPrinters(int timeoutMs)
{
    PrinterList list;
    Connection connection(timeoutMs);
    if (!connection.http) {
        list.problem = notReached;
        return list;
    }
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(connection.http, &dests);
    if (count == 0 && cupsLastError() > IPP_STATUS_OK_CONFLICTING && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
        list.problem = lastError();
        return list;
    }
    list.answered = true;
    for (int i = 0; i < count; ++i) {
        if (dests[i].instance)
            continue; // an instance is a set of options, not a printer of its own
        const QString name = QString::fromUtf8(dests[i].name);
        list.names << name;
        if (dests[i].is_default)
            list.defaultName = name;
    }
    cupsFreeDests(count, dests);
    return list;
}

OutputResult printerProblem(const QString &printerName, int timeoutMs)
{
    Connection connection(timeoutMs);
    if (!connection.http)
        return OutputResult::failed(OutputResult::PrintSystem, notReached);
    static const char *const wanted[] = {"printer-state", "printer-is-accepting-jobs"};
    ipp_t *response = printerAttributes(connection.http, printerName, wanted, 2);
    const ipp_status_t status = cupsLastError();
    if (status == IPP_STATUS_ERROR_NOT_FOUND) {
        ippDelete(response);
        return OutputResult::failed(OutputResult::Printer, QStringLiteral("pisač %1 više nije instaliran").arg(printerName));
    }
    if (!response || status > IPP_STATUS_OK_CONFLICTING) {
        ippDelete(response);
        return OutputResult::failed(OutputResult::PrintSystem,
                                    QStringLiteral("sustav za ispis nije dostupan: %1").arg(lastError()));
    }

    OutputResult result = OutputResult::ok();
    ipp_attribute_t *state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
    ipp_attribute_t *accepting = ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED)
        result = OutputResult::failed(OutputResult::Printer, QStringLiteral("pisač %1 je zaustavljen").arg(printerName));
    else if (accepting && !ippGetBoolean(accepting, 0))
        result = OutputResult::failed(OutputResult::Printer, QStringLiteral("pisač %1 ne prima poslove").arg(printerName));
    ippDelete(response);
    return result;
}

PaperSize defaultPaper(const QString &printerName, int timeoutMs)
{
    PaperSize paper;
    Connection connection(timeoutMs);
    if (!connection.http)
        return paper;
    static const char *const wanted[] = {"media-col-default"};
    ipp_t *response = printerAttributes(connection.http, printerName, wanted, 1);
    // Sizes and margins come in hundredths of a millimetre.
    ipp_attribute_t *media = response ? ippFindAttribute(response, "media-col-default", IPP_TAG_BEGIN_COLLECTION)
                                      : nullptr;
    ipp_t *collection = media ? ippGetCollection(media, 0) : nullptr;
    ipp_attribute_t *size = collection ? ippFindAttribute(collection, "media-size", IPP_TAG_BEGIN_COLLECTION) : nullptr;
    ipp_t *dimensions = size ? ippGetCollection(size, 0) : nullptr;
    const auto number = [](ipp_t *in, const char *name) {
        ipp_attribute_t *value = in ? ippFindAttribute(in, name, IPP_TAG_INTEGER) : nullptr;
        return value ? ippGetInteger(value, 0) / 100.0 : -1.0;
    };
    paper.widthMm = number(dimensions, "x-dimension");
    paper.heightMm = number(dimensions, "y-dimension");
    paper.leftMm = qMax(0.0, number(collection, "media-left-margin"));
    paper.topMm = qMax(0.0, number(collection, "media-top-margin"));
    paper.rightMm = qMax(0.0, number(collection, "media-right-margin"));
    paper.bottomMm = qMax(0.0, number(collection, "media-bottom-margin"));
    // Only a page something can be printed on.
    paper.known = paper.widthMm > 0 && paper.heightMm > 0 && paper.leftMm + paper.rightMm < paper.widthMm
                  && paper.topMm + paper.bottomMm < paper.heightMm;
    ippDelete(response);
    return paper;
}

PrintJob submitDocument(const QString &printerName, const QString &pdfPath, const QString &title, int timeoutMs)
{
    PrintJob job;
    Connection connection(timeoutMs);
    if (!connection.http) {
        job.problem = QStringLiteral("pisač %1 nije dobio posao: %2").arg(printerName, notReached);
        job.failure = OutputResult::PrintSystem;
        return job;
    }
    job.id = cupsPrintFile2(connection.http, printerName.toUtf8().constData(), pdfPath.toLocal8Bit().constData(),
                            title.toUtf8().constData(), 0, nullptr);
    if (job.id == 0)
        job.problem = QStringLiteral("pisač %1 je odbio ispis (%2)").arg(printerName, lastError());
    return job;
}

bool cancelJob(const QString &printerName, qint64 jobId, int timeoutMs)
{
    Connection connection(timeoutMs);
    return connection.http
        && cupsCancelJob2(connection.http, printerName.toUtf8().constData(), int(jobId), 0) == IPP_STATUS_OK;
}
