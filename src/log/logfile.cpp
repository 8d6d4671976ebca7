#include "logfile.h"

#include <QDateTime>
#include <QMutexLocker>

namespace {

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

LogFile::LogFile(const QString &path, qint64 maxBytes, int keep)
    : path(path)
    , maxBytes(maxBytes)
    , keep(keep)
    , file(path)
{
}

void LogFile::write(QtMsgType type, const QString &message)
{
    const QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() + ' '
                            + levelOf(type) + ' ' + QString(message).replace(QLatin1Char('\n'), QLatin1String("\n    ")).toUtf8()
                            + '\n';
    QMutexLocker lock(&mutex);
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
