#pragma once

#include "mainwindow.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QWebView>

#include <memory>

inline QWebView *webViewOf(QWidget *window)
{
    return window->findChild<QWebView *>(QStringLiteral("webView"));
}

// Builds the main window with a spy on its page loads from the very first
// one: that load can end while the start-up update dialog still runs inside
// the constructor, before a spy made afterwards would exist.
inline std::unique_ptr<MainWindow> makeMainWindow(std::unique_ptr<QSignalSpy> &loads)
{
    loads.reset();
    QTimer::singleShot(0, [&loads] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<MainWindow *>(widget) && !loads)
                loads = std::make_unique<QSignalSpy>(webViewOf(widget), &QWebView::loadFinished);
        }
    });
    auto window = std::make_unique<MainWindow>();
    if (!loads)
        loads = std::make_unique<QSignalSpy>(webViewOf(window.get()), &QWebView::loadFinished);
    return window;
}

// Waits until `count` loads have finished.
inline bool waitForLoads(QSignalSpy &loads, int count = 1, int timeoutMs = 20000)
{
    while (loads.count() < count) {
        if (!loads.wait(timeoutMs))
            return loads.count() >= count;
    }
    return true;
}
