#include "logfile.h"

#include "textescape.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QMutexLocker>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LogFile", text);
}

LogFile *installed = nullptr;
QtMessageHandler previous = nullptr;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The diagnostics of Qt and the engine (their categories are "qt.…", and
    // they carry no source file, which ours do) are English and for
    // developers: the log keeps them at debug level, the terminal does not get them.
    const bool qtOwn = (context.category && qstrncmp(context.category, "qt.", 3) == 0) || !context.file;
    if (qtOwn && type != QtFatalMsg) {
        if (installed)
            installed->write(QtDebugMsg, QStringLiteral("Qt (%1): %2")
                                             .arg(QLatin1String(context.category ? context.category : "default"), message));
        return;
    }
    if (installed)
        installed->write(type, message);
    if (previous)
        previous(type, context, message);
}

// "1 put", "2 puta", "11 puta", "21 put".
QString times(qint64 count)
{
    const QString number = QLocale(QLocale::Croatian).toString(count);
    return count % 10 == 1 && count % 100 != 11 ? tr("%1 put").arg(number) : tr("%1 puta").arg(number);
}

const char *levelOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "DEBUG";
    case QtInfoMsg: return "INFO";
    case QtWarningMsg: return "WARNING";
    case QtCriticalMsg: return "ERROR";
    case QtFatalMsg: return "FATAL";
    }
    return "INFO";
}

// Longer messages keep their start: a page can pass texts of any length.
constexpr int longestMessage = 4000;

} // namespace

LogFile::LogFile(const QString &path, qint64 maxBytes, int keep, qint64 bytesPerMinute)
    : path(path)
    , maxBytes(maxBytes)
    , keep(keep)
    , file(path)
    , bytesPerMinute(bytesPerMinute)
{
}

LogFile::~LogFile()
{
    QMutexLocker lock(&mutex);
    sayHeldBack();
}

void LogFile::write(QtMsgType type, const QString &message)
{
    if (message.trimmed().isEmpty())
        return; // a line that says nothing
    QString text = escapedLogText(message);
    if (text.size() > longestMessage)
        text = text.left(longestMessage) + tr("… (još %1 znakova)").arg(text.size() - longestMessage);
    QMutexLocker lock(&mutex);
    // Counting goes by the minute: in a new one, even the same message is
    // written again, with its time.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - windowStart >= 60000) {
        sayHeldBack();
        windowStart = now;
        bytesInWindow = 0;
        lastText = QString();
    }
    if (!lastText.isNull() && type == lastType && text == lastText) {
        ++(lastLeftOut ? leftOut : repeated);
        return;
    }
    sayRepeats();
    lastType = type;
    lastText = text;
    lastLeftOut = bytesInWindow >= bytesPerMinute;
    if (lastLeftOut) {
        ++leftOut;
        return;
    }
    writeLine(type, text);
}

void LogFile::sayRepeats()
{
    if (repeated > 0)
        writeLine(lastType, tr("… ista poruka ponovljena još %1").arg(times(repeated)));
    repeated = 0;
}

void LogFile::sayHeldBack()
{
    sayRepeats();
    if (leftOut > 0)
        writeLine(QtWarningMsg, tr("… %1 poruka izostavljeno: više od %2 kB u minuti")
                                    .arg(QLocale(QLocale::Croatian).toString(leftOut))
                                    .arg(bytesPerMinute / 1024));
    leftOut = 0;
}

void LogFile::writeLine(QtMsgType type, const QString &text)
{
    const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() + ' '
                            + levelOf(type) + ' ' + text.toUtf8() + '\n';
    if (!file.isOpen() && !openFile())
        return; // no log is no reason to stop
    if (file.size() > 0 && file.size() + line.size() > maxBytes)
        rotate();
    bytesInWindow += line.size();
    file.write(line);
    file.flush();
}

bool LogFile::openFile()
{
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

void LogFile::rotate()
{
    file.close();
    QFile::remove(path + QLatin1Char('.') + QString::number(keep));
    for (int i = keep - 1; i >= 1; --i)
        QFile::rename(path + QLatin1Char('.') + QString::number(i), path + QLatin1Char('.') + QString::number(i + 1));
    QFile::rename(path, path + QStringLiteral(".1"));
    openFile();
}

void LogFile::install(LogFile *log)
{
    installed = log;
    if (log && !previous)
        previous = qInstallMessageHandler(handler);
}
