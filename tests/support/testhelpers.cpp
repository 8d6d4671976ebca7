#include "testhelpers.h"

#include <QDir>
#include <QFile>

ScopedWorkDir::ScopedWorkDir()
    : previous(QDir::currentPath())
{
    QDir::setCurrent(dir.path());
}

ScopedWorkDir::~ScopedWorkDir()
{
    QDir::setCurrent(previous);
}

void writeSettingsFile(const QByteArray &contents)
{
    QFile file(QStringLiteral("settings.ini"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

namespace {
QStringList capturedMessages;
QtMessageHandler forwardTo = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    capturedMessages.append(message);
    if (forwardTo)
        forwardTo(type, context, message);
}
} // namespace

LogCapture::LogCapture()
{
    capturedMessages.clear();
    previous = qInstallMessageHandler(capture);
    forwardTo = previous;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    forwardTo = nullptr;
}

QStringList LogCapture::messages() const
{
    return capturedMessages;
}

bool LogCapture::contains(const QString &text) const
{
    return count(text) > 0;
}

int LogCapture::count(const QString &text) const
{
    int n = 0;
    for (const QString &message : capturedMessages) {
        if (message.contains(text))
            ++n;
    }
    return n;
}
