#include "jsconnector.h"

#include <QDebug>
#include <QRandomGenerator>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

namespace {

// The object one document sees. The script engine owns it and may drop it
// with the document; the page may even delete it: the connector it calls is
// only looked at through a guarded pointer.
class PageBridge final : public QObject
{
    Q_OBJECT

public:
    explicit PageBridge(JSConnector *connector)
        : connector(connector)
    {
    }

public slots:
    void displayString(const QString &string)
    {
        if (connector)
            connector->displayString(string);
    }
    void downloadReport(const QString &url)
    {
        if (connector)
            connector->downloadReport(url);
    }

private:
    QPointer<JSConnector> connector;
};

} // namespace

JSConnector::JSConnector(QObject *parent)
    : QObject(parent)
{
}

void JSConnector::bindToView(QWebView *view, const QList<QUrl> &origins)
{
    frame = view->page()->mainFrame();
    this->origins = origins;
    attachObject();
    // The frame clears its window object for every new document; attach again
    // each time so that reloads and navigations keep the bridge.
    connect(frame, &QWebFrame::javaScriptWindowObjectCleared, this, &JSConnector::attachObject);
}

bool JSConnector::isFromOrigins(const QUrl &url, const QList<QUrl> &origins)
{
    // Only web origins count: a main address of "about:blank" does not make
    // every blank page (the shell's own among them) the service's.
    if (url.host().isEmpty() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return false;
    for (const QUrl &origin : origins) {
        if (url.scheme().compare(origin.scheme(), Qt::CaseInsensitive) == 0
            && url.host().compare(origin.host(), Qt::CaseInsensitive) == 0
            && url.port(origin.scheme() == QLatin1String("https") ? 443 : 80)
                == origin.port(origin.scheme() == QLatin1String("https") ? 443 : 80))
            return true;
    }
    return false;
}

void JSConnector::attachObject()
{
    // Another site's page, or the shell's own, gets nothing.
    if (!frame || !isFromOrigins(frame->url(), origins))
        return;
    // The engine would show the page a QObject (deleteLater, destroyed,
    // objectName, the slots' signatures). The page gets a plain, frozen
    // script object instead, whose two functions reach the bridge through a
    // closure; the bridge's own name is random and removed at once, before
    // any script of the document runs.
    const QString hidden = QStringLiteral("__velmor_%1").arg(QRandomGenerator::global()->generate64(), 16, 16,
                                                              QLatin1Char('0'));
    frame->addToJavaScriptWindowObject(hidden, new PageBridge(this), QWebFrame::ScriptOwnership);
    frame->evaluateJavaScript(QStringLiteral(
        "(function () {"
        "  var bridge = window['%1'];"
        "  delete window['%1'];"
        "  var text = function (value) { return value === undefined || value === null ? '' : String(value); };"
        "  var connector = Object.create(null);"
        "  Object.defineProperty(connector, 'displayString', {"
        "    value: function (value) { bridge.displayString(text(value)); }, enumerable: true });"
        "  Object.defineProperty(connector, 'downloadReport', {"
        "    value: function (value) { bridge.downloadReport(text(value)); }, enumerable: true });"
        "  Object.freeze(connector);"
        "  Object.defineProperty(window, 'JSConnector', { value: connector, enumerable: true });"
        "})();").arg(hidden));
}

void JSConnector::displayString(const QString &string)
{
    if (!string.isEmpty())
        emit display_string_received(string);
}

void JSConnector::downloadReport(const QString &url)
{
    emit download_report_request_received(url);
}

#include "jsconnector.moc"
