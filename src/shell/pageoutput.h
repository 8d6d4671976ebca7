#pragma once

#include "outputresult.h"

#include <QString>

#include <memory>

class QNetworkAccessManager;
class QPrinter;
class QWebFrame;
class QWebView;

// The invoice a page leaves, and printing it as HTML: the parts of invoice
// output that need the web engine and the printing system.

// The invoice text the page left for the given mode; empty when the element
// is missing. Reading never raises an error inside the page.
QString readInvoice(QWebFrame *frame, bool portMode);

// Sets the "value" attribute of the page's first "#IsShell" element to "true".
void markShownByShell(QWebFrame *frame);

// The installed printer named exactly `name` (case-sensitive), with no
// margins; the system's default printer when there is none by that name.
std::unique_ptr<QPrinter> makePrinter(const QString &name);

// Renders the HTML invoice in a hidden view, with its scripts off, and waits
// for it to load, for at most `timeoutMs` (no limit when negative). Its
// images and styles come through `network`. Runs a nested event loop.
std::unique_ptr<QWebView> renderInvoice(const QString &html, int timeoutMs, QNetworkAccessManager *network);

// Prints what the view holds, without a dialog.
OutputResult printInvoice(QWebView &view, QPrinter &printer);
