#pragma once

#include "outputselection.h"

#include <QString>
#include <QVariant>

// What the main window reads once, when it is built.
struct StartupSettings
{
    QString mainUrl;   // the address the web view opens first
    int timeout = 500; // longest wait, in ms, for an invoice to render before printing
};

// settings.ini: the INI file a user or an IT person may also edit by hand.
// Every read and write opens the file for that one operation, so a hand edit
// is seen by the next read and nothing is cached. A file saved with a UTF-8
// byte-order mark (Notepad does) reads the same as one without.
class SettingsFile
{
public:
    explicit SettingsFile(const QString &path);

    QString path() const { return file; }

    // mainUrl (the service's login page when empty) and timeout.
    StartupSettings startup(const QString &serviceOrigin) const;

    OutputSelection outputSelection() const;
    // Writes printerPort, useSerialPort and friendlyName; other keys stay.
    // False when the file did not take them.
    bool writeOutputSelection(const PrinterInfo &selection) const;
    // Writes portEncoding and portCodeTable (an empty value removes the key).
    bool writePortEncoding(const QString &encoding, const QString &codeTable) const;
    // Writes portCutPaper and portOpenDrawer.
    bool writePortActions(bool cutPaper, bool openDrawer) const;

    // The update check address as configured; empty when not set.
    QString checkForNewVersionUrl() const;
    // The installed version; 0 when missing or not a number.
    double version() const;
    // False when the file did not take it (a full disk, a read-only folder):
    // the value is read back to be sure.
    bool writeVersion(double version) const;

private:
    QString file;
};

// A text value as the user wrote it. The INI reader splits an unquoted value
// at commas into a list (an address with a comma in its query, say); put it
// back together instead of losing it.
QString settingsText(const QVariant &value);
