// The journal's questions on the output path, at the size 90 days of a busy
// till reach: whether a reloaded page's invoice was printed already (asked
// on the GUI thread at every load the shell makes itself), and the latest
// invoice a page issued.
#include "journal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int entries = 200000;
    QTemporaryDir dir;
    Journal journal(dir.filePath(QStringLiteral("journal.sqlite")));
    if (!journal.open())
        return 1;
    // Most invoices come from the same few pages, as a till's do.
    QElapsedTimer filling;
    filling.start();
    const QString body = QString(600, QLatin1Char('x'));
    for (int i = 0; i < entries; ++i) {
        JournalEntry entry;
        entry.time = QDateTime::currentDateTimeUtc();
        entry.page = QStringLiteral("https://service/invoices/new?form=%1").arg(i % 8);
        entry.mode = QLatin1String(JournalEntry::portMode);
        entry.target = QStringLiteral("COM1");
        entry.text = QStringLiteral("RAČUN %1\n").arg(i) + body;
        journal.finish(journal.begin(entry), true, QString());
    }
    const double fillSeconds = filling.elapsed() / 1000.0;

    const auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times.at(times.size() / 2);
    };
    std::vector<double> printed, missing, latest;
    for (int i = 0; i < 51; ++i) {
        const int n = (i * 3911) % entries;
        QElapsedTimer timer;
        timer.start();
        const bool found = journal.printedFrom(QStringLiteral("https://service/invoices/new?form=%1").arg(n % 8),
                                               QStringLiteral("RAČUN %1\n").arg(n) + body) > 0;
        printed.push_back(timer.nsecsElapsed() / 1e6);
        if (!found)
            return 2;
        timer.start();
        journal.printedFrom(QStringLiteral("https://service/invoices/new?form=1"), QStringLiteral("nikad"));
        missing.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        journal.latestIssued();
        latest.push_back(timer.nsecsElapsed() / 1e6);
    }
    QTextStream(stdout) << QStringLiteral(
                               "journal of %1 entries (filled in %2 s): printed already? %3 ms (found), %4 ms "
                               "(not there); latest issued %5 ms (medians of 51)\n")
                               .arg(entries)
                               .arg(fillSeconds, 0, 'f', 1)
                               .arg(median(printed), 0, 'f', 3)
                               .arg(median(missing), 0, 'f', 3)
                               .arg(median(latest), 0, 'f', 3);
    return 0;
}
