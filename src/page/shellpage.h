#pragma once

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

// How one load ended, with what the after-load step took from a page of the
// service: its invoice elements, read in the same step that set its
// "#IsShell" to "true", before any later script of the page could change
// either.
struct PageLoad
{
    bool ok = false;
    QUrl url;                         // the page shown now
    QUrl failedUrl;                   // the address that could not be loaded, when one could not
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString refusal;                  // the certificate refused, in words; empty when none was
    bool fromService = false;         // the page is the service's: the invoice was taken
    QString portInvoice;              // "#PrintInvoiceData"'s value
    QString htmlInvoice;              // "#PrintInvoiceDataHTML"'s value
    bool hasInvoiceElement = false;   // either element is there (on any page)
};

Q_DECLARE_METATYPE(PageLoad)

// The web page the main window shows, whichever engine renders it: an
// engine-neutral face with one adapter per engine. The bridge's calls come
// through `connector()`.
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
    void loadStarted(const QUrl &requested);
    void loadProgress(int percent);
    void loadFinished(const PageLoad &load);
    // Content the view cannot show (a report, as a rule). The receiver owns
    // the reply; the page keeps showing what it showed.
    void downloadOffered(QNetworkReply *reply);
};
