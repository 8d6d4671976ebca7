#pragma once

#include "pagedownload.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QNetworkReply>
#include <QObject>
#include <QString>
#include <QUrl>

class JSConnector;
class QWidget;

// What a page needs to know of the service, for either engine.
struct PageSetup
{
    QList<QUrl> serviceOrigins; // the service's and the main address's: the only ones with the bridge
    QString firstUseHost;       // "host:port" whose certificate may be trusted on first use; empty for none
    QString trustedHostsFile;
    QByteArray trustedCertificates; // PEM, besides the system's
    int pageTimeoutMs = 30000;      // a request that stays silent this long ends
};

// How one load ended. Every load that starts ends once: finished, failed
// (`error` or `refusal` says why), replaced by another load, or stopped (by
// the shell, or because the load became a download). `committed` says
// whether it brought a new document; one that did not leaves the page as it
// was.
struct PageLoad
{
    enum End { Finished, Failed, Replaced, Stopped };

    int id = 0;                       // as `loadStarted` said it
    End end = Finished;
    bool committed = false;
    QUrl url;                         // the page shown now
    QUrl failedUrl;                   // the address that could not be loaded, when one could not
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString refusal;                  // the certificate refused, in words; empty when none was
    bool fromService = false;         // the page shown is the service's
    bool hasInvoiceElement = false;   // another site's page has an invoice element (it is not read)

    bool ok() const { return end == Finished; }
};

// The invoice one document of the service left: its elements' values, read
// once, when the document's load handlers have run and before any timer or
// later event they started, in the same step that set its "#IsShell" to
// "true".
struct PageInvoice
{
    int loadId = 0;       // the load that brought the document
    QUrl url;             // the document's address
    QString portInvoice;  // "#PrintInvoiceData"'s value
    QString htmlInvoice;  // "#PrintInvoiceDataHTML"'s value
};

Q_DECLARE_METATYPE(PageLoad)
Q_DECLARE_METATYPE(PageInvoice)

// The web page the main window shows, whichever engine renders it: an
// engine-neutral face with one adapter per engine. The bridge's calls come
// through `connector()`.
//
// What every adapter keeps: each load is announced by `loadStarted` with an
// id of its own and ends with one `loadFinished` carrying that id; a
// document of the service that a load commits gives one `invoiceTaken`
// (which may come before or after that load's end, and after the next load
// has started); the shell's own page gives neither. `rendererGone` says the
// page's renderer ended (killed, crashed, out of memory, no longer
// answering): the load under way, if any, ends with it and nothing is shown
// until the next load.
class ShellPage : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QWidget *view() = 0;
    virtual JSConnector *connector() = 0;

    virtual void load(const QUrl &url) = 0;
    virtual void reload() = 0;
    // The shell's own page (no bridge, no after-load step).
    virtual void showHtml(const QString &html) = 0;
    // The next request starts on new connections: one that stalled would
    // only stall again.
    virtual void startAfresh() = 0;

    virtual QUrl url() const = 0;
    virtual QString title() const = 0;

signals:
    void loadStarted(int id, const QUrl &requested);
    void loadProgress(int percent);
    void loadFinished(const PageLoad &load);
    void invoiceTaken(const PageInvoice &invoice);
    void rendererGone(const QString &why);
    // Content the view cannot show (a report, as a rule), to be saved or
    // cancelled by the receiver there and then; the page keeps showing what
    // it showed.
    void downloadOffered(PageDownload *download);
};
