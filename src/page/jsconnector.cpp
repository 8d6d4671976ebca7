#include "jsconnector.h"

JSConnector::JSConnector(QObject *parent)
    : QObject(parent)
{
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
