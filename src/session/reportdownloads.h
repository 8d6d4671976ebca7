#pragma once

#include "shellcontext.h"

#include <QObject>
#include <QSet>
#include <QString>

class PageDownload;
class QNetworkAccessManager;

// Reports into "report.pdf" in the working directory, then opened: those a
// page asks for by path on the service, and whatever the page's view cannot
// show. One address is fetched once at a time.
class ReportDownloads final : public QObject
{
    Q_OBJECT

public:
    ReportDownloads(const ShellContext &context, QObject *parent = nullptr);

    // A page's request: a path on the service, nothing else.
    void request(const QString &path);
    // What the page's view could not show: saved, or cancelled when the
    // same address is on its way already.
    void take(PageDownload *download);

signals:
    // For the status bar; `timeoutMs` 0 keeps it.
    void message(const QString &text, int timeoutMs);
    void clearMessage();

private:
    void save(PageDownload *download);
    void open(const QString &filePath);

    ShellContext context;
    QNetworkAccessManager *network = nullptr;
    QSet<QString> inFlight; // addresses, so a second click opens nothing twice
};
