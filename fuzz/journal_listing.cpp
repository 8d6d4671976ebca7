// `--journal` over a damaged journal.sqlite.
// It lists what it can, one line of six tab-separated fields per entry with
// nothing in them that controls a terminal, or says why not, and leaves the
// file as it found it.
#include "fuzzing.h"
#include "invoicetext.h"
#include "journal.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

FUZZ_APPLICATION(QGuiApplication)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const QString path = fuzzFolder() + QStringLiteral("/journal.sqlite");
    QFile file(path);
    FUZZ_EXPECT(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    file.close();

    QString listing, problems;
    QTextStream out(&listing), errors(&problems);
    const int status = writeJournalListing(path, 20, out, errors, [](const JournalEntry &entry) {
        return entry.mode == QLatin1String(JournalEntry::printerMode) ? invoicePlainText(entry.text) : entry.text;
    });
    out.flush();
    errors.flush();
    FUZZ_EXPECT(status == 0 || (status == 1 && !problems.isEmpty()));
    for (const QString &line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        FUZZ_EXPECT(line.count(QLatin1Char('\t')) == 5);
        for (const QChar c : line)
            FUZZ_EXPECT(c == QLatin1Char('\t') || (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format));
    }
    FUZZ_EXPECT(file.open(QIODevice::ReadOnly) && file.readAll() == bytes);
    file.close();
    // What SQLite keeps beside a journal in write-ahead mode goes too, so that
    // each input is read alone.
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    return 0;
}
