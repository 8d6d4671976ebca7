#include "jsconnector.h"

#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

JSConnector::JSConnector(QObject *parent)
    : QObject(parent)
{
}

void JSConnector::bindToView(QWebView *view)
{
    frame = view->page()->mainFrame();
    attachObject();
    // The frame clears its window object for every new document; attach again
    // each time so that reloads and navigations keep the bridge.
    connect(frame, &QWebFrame::javaScriptWindowObjectCleared, this, &JSConnector::attachObject);
}

void JSConnector::attachObject()
{
    if (frame && available)
        frame->addToJavaScriptWindowObject(QStringLiteral("JSConnector"), this, QWebFrame::QtOwnership);
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
