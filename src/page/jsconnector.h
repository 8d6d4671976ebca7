#pragma once

#include <QObject>

// What the web application's scripts call as window.JSConnector, on the
// shell's side. Each call from a page becomes a signal for the main window.
//
// The page never holds this object: each engine gives every document of the
// service a plain stand-in that offers the two calls and nothing else, so a
// page that deletes, renames or disconnects what it was given touches
// nothing of the shell's.
class JSConnector final : public QObject
{
    Q_OBJECT

public:
    explicit JSConnector(QObject *parent = nullptr);

    // The page's stand-in, as script: `call(name, text)` is how it reaches
    // the shell; `call` is the engine's and captured before the document's
    // own scripts run.
    static QString standInScript(const QString &call);

signals:
    void display_string_received(const QString &displayString);
    void download_report_request_received(const QString &url);

public slots:
    void displayString(const QString &string);
    void downloadReport(const QString &url);
};
