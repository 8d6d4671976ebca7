#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtMessageHandler>

#include <memory>

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

// Writes settings.ini in the working directory, exactly as given.
void writeSettingsFile(const QByteArray &contents);
QByteArray readFile(const QString &path);

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
