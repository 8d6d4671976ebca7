#pragma once

#include "shellcontext.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtMessageHandler>

// Makes a fresh temporary directory the working directory for as long as it
// lives; settings.ini and report.pdf are relative names.
class ScopedWorkDir
{
public:
    ScopedWorkDir();
    ~ScopedWorkDir();

    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
    QString previous;
};

// A context for the service at `serviceOrigin`: settings.ini in the working
// directory, a program folder of this process's own, the local servers'
// certificate trusted, and transfers that give up after `transferTimeoutMs`.
ShellContext testContext(const QString &serviceOrigin, int transferTimeoutMs = 5000);

// Writes the file exactly as given, making its folders; false when it cannot.
bool writeFile(const QString &path, const QByteArray &contents);
// Writes settings.ini in the working directory, exactly as given.
void writeSettingsFile(const QByteArray &contents);
QByteArray readFile(const QString &path);
// Whether only its owner may read and write the file (and nobody else anything).
bool isOwnerOnly(const QString &path);

// Everything below `dir`, hidden entries too, by relative path: each file
// with its contents, each folder with "/" after its name and no contents.
QMap<QString, QByteArray> filesBelow(const QString &dir);

// Collects the messages the program logs while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QStringList messages() const;
    bool contains(const QString &text) const;
    int count(const QString &text) const;

private:
    QtMessageHandler previous;
};
