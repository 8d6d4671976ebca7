#pragma once

#include <QObject>
#include <QPointer>

class QWebFrame;
class QWebView;

// The object that the web application's scripts see as window.JSConnector.
// Each call from a page becomes a signal for the main window.
class JSConnector final : public QObject
{
    Q_OBJECT

public:
    explicit JSConnector(QObject *parent = nullptr);

    // Exposes this object to the view's main frame now and to every document
    // the frame loads later, before that document's own scripts run.
    void bindToView(QWebView *view);
    // Whether documents loaded from now on get the object; the shell's own
    // pages do not.
    void setAvailable(bool available) { this->available = available; }

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
    bool available = true;
};
