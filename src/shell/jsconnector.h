#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QWebFrame;
class QWebView;

// What the web application's scripts call as window.JSConnector. Each call
// from a page becomes a signal for the main window.
//
// The page never holds this object: each document of the service gets a
// stand-in of its own that offers the two calls and nothing else, so a page
// that deletes, renames or disconnects what it was given touches nothing of
// the shell's.
class JSConnector final : public QObject
{
    Q_OBJECT

public:
    explicit JSConnector(QObject *parent = nullptr);

    // Exposes the calls to the view's main frame now and to every document
    // the frame loads later, before that document's own scripts run; only
    // documents from one of `origins` get them.
    void bindToView(QWebView *view, const QList<QUrl> &origins);

    // Whether `url` is a document of one of the given origins (scheme, host
    // and port).
    static bool isFromOrigins(const QUrl &url, const QList<QUrl> &origins);

signals:
    void display_string_received(const QString &displayString);
    void download_report_request_received(const QString &url);

public slots:
    void displayString(const QString &string);
    void downloadReport(const QString &url);

private slots:
    void attachObject();

private:
    QPointer<QWebFrame> frame;
    QList<QUrl> origins;
};
