#pragma once

#include <QString>
#include <QVariant>

// What the main window reads once, when it is built.
struct StartupSettings
{
    QString mainUrl;   // the address the web view opens first
    int timeout = 500; // longest wait, in ms, for an invoice to render before printing
};

StartupSettings readStartupSettings();

// A text value as the user wrote it. The INI reader splits an unquoted value
// at commas into a list (an address with a comma in its query, say); put it
// back together instead of losing it.
QString settingsText(const QVariant &value);
