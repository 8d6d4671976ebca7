#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSet>

#include <unistd.h>

// Peak resident set size in KiB of process `pid` (Linux); -1 when unknown.
inline long peakRssKiB(const QString &pid = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// The peaks of this process and of every process below it, summed: a web
// engine that renders in helper processes is counted whole. An upper bound
// of the peak at any one moment, measured the same way for every flavour.
inline long peakRssKiBWithChildren()
{
    QSet<long> family{long(getpid())};
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    // Children are listed after their parents far more often than not; a
    // few passes settle the rest.
    for (int pass = 0; pass < 4; ++pass) {
        for (const QString &pid : pids) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && family.contains(fields.at(1).toLong()))
                family.insert(pid.toLong());
        }
    }
    long total = 0;
    for (long pid : family)
        total += qMax(0L, peakRssKiB(QString::number(pid)));
    return total;
}
