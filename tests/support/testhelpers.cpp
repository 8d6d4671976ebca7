#include "testhelpers.h"

#include "settingskeys.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

ScopedWorkDir::ScopedWorkDir()
    : previous(QDir::currentPath())
{
    QDir::setCurrent(dir.path());
}

ScopedWorkDir::~ScopedWorkDir()
{
    QDir::setCurrent(previous);
}

ShellContext testContext(const QString &serviceOrigin, int transferTimeoutMs)
{
    // Never the tests' own folder: the update check clears "_old_" files in it.
    static QTemporaryDir programDir;
    ShellContext context;
    context.serviceOrigin = serviceOrigin;
    context.settingsFile = SettingsKeys::fileName;
    context.trustedHostsFile = SettingsKeys::trustedHostsFileName;
    context.journalFile = SettingsKeys::journalFileName;
    context.programDir = programDir.path();
    context.answerReader = QStringLiteral(ANSWER_READER);
    context.trustedCertificates = readFile(QStringLiteral(TEST_CERT_DIR "/cert.pem"));
    context.updateLimits.transferTimeoutMs = transferTimeoutMs;
    return context;
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

void writeSettingsFile(const QByteArray &contents)
{
    writeFile(QStringLiteral("settings.ini"), contents);
}

QMap<QString, QByteArray> filesBelow(const QString &dir)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(dir).relativeFilePath(path);
        if (it.fileInfo().isDir())
            entries.insert(name + QLatin1Char('/'), QByteArray());
        else
            entries.insert(name, readFile(path));
    }
    return entries;
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

bool isOwnerOnly(const QString &path)
{
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const QFileDevice::Permissions mode = QFileInfo(path).permissions();
    return QFileInfo::exists(path) && !(mode & others)
           && (mode & (QFileDevice::ReadOwner | QFileDevice::WriteOwner))
                  == (QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
