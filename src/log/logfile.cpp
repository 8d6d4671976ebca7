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
    if (installed)
        installed->write(type, message);
    if (previous)
        previous(type, context, message);
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

} // namespace

LogFile::LogFile(const QString &path, qint64 maxBytes, int keep, int linesPerMinute)
    : path(path)
    , maxBytes(maxBytes)
    , keep(keep)
    , file(path)
    , linesPerMinute(linesPerMinute)
{
}

LogFile::~LogFile()
{
    QMutexLocker lock(&mutex);
    sayHeldBack();
}

void LogFile::write(QtMsgType type, const QString &message)
{
    const QString text = escapedLogText(message);
    QMutexLocker lock(&mutex);
    // Counting goes by the minute: in a new one, even the same message is
    // written again, with its time.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - windowStart >= 60000) {
        sayHeldBack();
        windowStart = now;
        linesInWindow = 0;
        lastText = QString();
    }
    if (!lastText.isNull() && type == lastType && text == lastText) {
        ++(lastLeftOut ? leftOut : repeated);
        return;
    }
    sayRepeats();
    lastType = type;
    lastText = text;
    lastLeftOut = linesInWindow >= linesPerMinute;
    if (lastLeftOut) {
        ++leftOut;
        return;
    }
    ++linesInWindow;
    writeLine(type, text);
}

void LogFile::sayRepeats()
{
    if (repeated > 0)
        writeLine(lastType, tr("… ponovljeno %1 puta").arg(QLocale(QLocale::Croatian).toString(repeated)));
    repeated = 0;
}

void LogFile::sayHeldBack()
{
    sayRepeats();
    if (leftOut > 0)
        writeLine(QtWarningMsg, tr("… %1 poruka izostavljeno: više od %2 u minuti")
                                    .arg(QLocale(QLocale::Croatian).toString(leftOut))
                                    .arg(linesPerMinute));
    leftOut = 0;
}

void LogFile::writeLine(QtMsgType type, const QString &text)
{
    const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() + ' '
                            + levelOf(type) + ' ' + text.toUtf8() + '\n';
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // no log is no reason to stop
    if (file.size() > 0 && file.size() + line.size() > maxBytes)
        rotate();
    file.write(line);
    file.flush();
}

void LogFile::rotate()
{
    file.close();
    QFile::remove(path + QLatin1Char('.') + QString::number(keep));
    for (int i = keep - 1; i >= 1; --i)
        QFile::rename(path + QLatin1Char('.') + QString::number(i), path + QLatin1Char('.') + QString::number(i + 1));
    QFile::rename(path, path + QStringLiteral(".1"));
    file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void LogFile::install(LogFile *log)
{
    installed = log;
    if (log && !previous)
        previous = qInstallMessageHandler(handler);
}
