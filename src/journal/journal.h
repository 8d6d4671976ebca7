#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// One output of an invoice, as the journal keeps it.
struct JournalEntry
{
    qint64 id = 0;
    QDateTime time; // when the output started
    QString page;   // the address of the page that left the invoice
    QString mode;   // JournalEntry::printerMode or portMode
    QString target; // the printer's name, or "port (device path)"
    QString text;   // the invoice as the page left it
    QString outcome = QString::fromLatin1(pending);
    QString reason; // why it failed, in words
    QString kind;   // what stood in the way: "device", "printer", "print-system", ...; empty when nothing did
    qint64 jobId = 0;     // the print system's job, when known
    qint64 reprintOf = 0; // the entry this one printed again

    static constexpr const char *printerMode = "printer";
    static constexpr const char *portMode = "port";
    static constexpr const char *pending = "pending";
    static constexpr const char *printed = "printed";
    static constexpr const char *failed = "failed";
    // Not output: a load the shell started itself brought back an invoice
    // already printed; `reprintOf` is that earlier entry.
    static constexpr const char *skipped = "skipped";
};

// The record of every invoice output: an SQLite file beside settings.ini.
// An entry is written before its output starts (pending) and completed after,
// so a crash in between leaves a pending entry, not nothing.
//
// The journal never stands in the way of printing: a damaged file is moved
// aside and a fresh one started; a journal that cannot be written at all
// turns every call into a no-op, and `problem` says why (once, for the user).
class Journal
{
public:
    enum Access { ReadWrite, ReadOnly };

    explicit Journal(const QString &filePath, Access access = ReadWrite);
    ~Journal();

    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // Opens (or makes) the file and drops entries past what is kept. A
    // read-only journal neither makes nor repairs anything. An empty path is
    // a run without a journal.
    enum Pruning { PruneNow, PruneLater };
    bool open(Pruning pruning = PruneNow);

    // Drops entries past what is kept (open does it, unless told not to).
    void prune();
    QString path() const { return filePath; }

    // What went wrong with the file, for the user; taken once, then empty
    // until something else goes wrong.
    QString takeProblem();

    // Records `entry` as pending and returns its id; 0 when it cannot. While
    // another program holds the file locked, the entry is held in memory and
    // a negative id stands for it; it is written, in order, by writeHeld.
    qint64 begin(const JournalEntry &entry);
    // Completes an entry with its outcome (held as well while locked).
    bool finish(qint64 id, bool printed, const QString &reason, qint64 jobId = 0, const QString &kind = QString());

    // Whether writes wait for the file's lock to go.
    bool hasHeld() const { return !held.isEmpty(); }
    // Writes what waits, oldest first; false while the file is still locked.
    bool writeHeld();

    // Records an invoice that was not output because it already was
    // (`entry.reprintOf`, `entry.reason`); returns its id, 0 when it cannot.
    qint64 recordSkipped(const JournalEntry &entry);

    // The newest entries first; at most `count`.
    QList<JournalEntry> latest(int count) const;
    // The newest invoice a page issued (no reprint, nothing skipped).
    std::optional<JournalEntry> latestIssued() const;
    // The id of an entry that printed exactly `text` from `page`; 0 for none
    // (and when the journal cannot be read).
    qint64 printedFrom(const QString &page, const QString &text) const;

    // What is kept: the last `keepEntries`, or those of the last `keepDays`,
    // whichever is more.
    static constexpr int keepEntries = 10000;
    static constexpr int keepDays = 90;

private:
    // One write the file could not take yet: an entry, or an outcome.
    struct HeldWrite
    {
        bool insert = true;
        JournalEntry entry; // id: the entry's (negative until written)
    };
    enum WriteResult { Written, Locked, Failed };

    qint64 insert(const JournalEntry &entry, const QString &outcome);
    WriteResult writeNow(HeldWrite &write);
    void hold(const HeldWrite &write);
    bool openFile();
    bool prepareSchema();
    void noteFailure(const QString &what);

    QString filePath;
    Access access;
    QString connectionName;
    bool usable = false;
    QString problem;
    bool problemTaken = false;
    bool hasKind = true; // false for a journal of an earlier version, read only
    QList<HeldWrite> held;
    qint64 lastLocalId = 0;           // the ids held entries go by
    QHash<qint64, qint64> localIds;   // a held entry's id, and the id it got once written
};

// One entry as a line for the terminal: six tab-separated fields (local time
// with its UTC offset, outcome, mode, target, reason, text) with backslash,
// tab, carriage return and line feed escaped.
// `text` is the entry's text as shown (an HTML invoice's lines, not its markup).
QString journalLine(const JournalEntry &entry, const QString &text);

class QTextStream;

// Writes the newest `count` entries of the journal at `path` to `out`, one
// journalLine each, newest first. No file: nothing, and 0. A file that cannot
// be read: a message to `errors`, and 1. Reads without changing anything, so
// it works while the shell runs.
// `shownText` gives an entry's text as a person reads it.
int writeJournalListing(const QString &path, int count, QTextStream &out, QTextStream &errors,
                        const std::function<QString(const JournalEntry &)> &shownText);
