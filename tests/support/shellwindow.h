#pragma once

#include "mainwindow.h"

#include <QSignalSpy>
#include <QString>

#include <memory>

class QWebView;

// The main window's web view.
QWebView *webViewOf(QWidget *window);

// The "value" attribute of the shown page's "#IsShell" element; "none" when
// the page has none.
QString shellMarker(QWidget *window);

// Builds the main window with a spy on its page loads from the very first
// one: that load can end while the start-up update dialog still runs inside
// the constructor, before a spy made afterwards would exist.
std::unique_ptr<MainWindow> makeMainWindow(const ShellContext &context, std::unique_ptr<QSignalSpy> &loads);

// Waits until `count` loads have finished; when they have not within
// `timeoutMs`, says what the view was showing and returns false.
bool waitForLoads(QWidget *window, QSignalSpy &loads, int count = 1, int timeoutMs = 10000);

// Builds the main window into `window` and waits for its first page load;
// `loadOk`, when given, gets that load's result.
bool openMainWindow(std::unique_ptr<MainWindow> &window, const ShellContext &context, bool *loadOk = nullptr);
