#include "jsconnector.h"

JSConnector::JSConnector(QObject *parent)
    : QObject(parent)
{
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

QString JSConnector::standInScript(const QString &call)
{
    // The engine would show the page a QObject (deleteLater, destroyed,
    // objectName, the slots' signatures). The page gets a plain, frozen
    // script object instead, whose two functions reach the shell through a
    // closure; it cannot be replaced on the window.
    return QStringLiteral(
               "(function () {"
               "  var call = %1;"
               "  var text = function (value) { return value === undefined || value === null ? '' : String(value); };"
               "  var connector = Object.create(null);"
               "  Object.defineProperty(connector, 'displayString', {"
               "    value: function (value) { call('displayString', text(value)); }, enumerable: true });"
               "  Object.defineProperty(connector, 'downloadReport', {"
               "    value: function (value) { call('downloadReport', text(value)); }, enumerable: true });"
               "  Object.freeze(connector);"
               "  Object.defineProperty(window, 'JSConnector', { value: connector, enumerable: true });"
               "})();")
        .arg(call);
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
