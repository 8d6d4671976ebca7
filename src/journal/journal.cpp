#include "journal.h"

#include <QTimeZone>

#include "textescape.h"

#include <QAtomicInt>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>
#include <QVariant>

#include <algorithm>
#include <iterator>

namespace {

// A page's text as it was sent: SQLite would store half a character pair as
// another character, so such a text is kept as its UTF-16 bytes instead.
QVariant stored(const QString &value)
{
    if (QStringView(value).isValidUtf16())
        return value.isNull() ? QLatin1String("") : value;
    return QByteArray(reinterpret_cast<const char *>(value.utf16()), int(value.size()) * 2);
}

QString loaded(const QVariant &value)
{
    if (value.userType() != QMetaType::QByteArray)
        return value.toString();
    const QByteArray bytes = value.toByteArray();
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), int(bytes.size() / 2));
}

QAtomicInt connectionCounter;

JournalEntry entryFrom(const QSqlQuery &query)
{
    JournalEntry entry;
    entry.id = query.value(0).toLongLong();
    entry.time = QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong(), QTimeZone::utc());
    entry.page = query.value(2).toString();
    entry.mode = query.value(3).toString();
    entry.target = query.value(4).toString();
    entry.text = loaded(query.value(5));
    entry.outcome = query.value(6).toString();
    entry.reason = query.value(7).toString();
    entry.jobId = query.value(8).toLongLong();
    entry.reprintOf = query.value(9).toLongLong();
    entry.kind = query.value(10).toString();
    return entry;
}

// SQLite says why in English; the box and the log say it in words.
QString sqlProblem(const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff; // the primary result code
    switch (code) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return QStringLiteral("datoteku drži zaključanu drugi program");
    case 8: // SQLITE_READONLY
    case 3: // SQLITE_PERM
    case 23: // SQLITE_AUTH
        return QStringLiteral("u datoteku se ne smije pisati");
    case 13: // SQLITE_FULL
        return QStringLiteral("disk je pun");
    case 14: // SQLITE_CANTOPEN
        return QStringLiteral("datoteka se ne može otvoriti");
    case 10: // SQLITE_IOERR
        return QStringLiteral("greška pri čitanju ili pisanju diska");
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return QStringLiteral("datoteka je oštećena");
    default:
        return QStringLiteral("greška baze podataka %1").arg(error.nativeErrorCode());
    }
}

// SQL has NULL where Qt has a null string; the columns take text only.
QString text(const QString &value)
{
    return value.isNull() ? QLatin1String("") : value;
}

// The database and the files SQLite keeps beside it.
const char *const sideFiles[] = {"", "-wal", "-shm", "-journal"};

const char columns[] = "id, time_ms, page, mode, target, text, outcome, reason, job_id, reprint_of, kind";
// A journal an earlier version wrote, read without changing it, has no kind.
const char columnsWithoutKind[] = "id, time_ms, page, mode, target, text, outcome, reason, job_id, reprint_of, ''";

} // namespace

Journal::Journal(const QString &filePath, Access access)
    : filePath(filePath)
    , access(access)
    , connectionName(QStringLiteral("velmor-journal-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

Journal::~Journal()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

bool Journal::open(Pruning pruning)
{
    if (filePath.isEmpty())
        return false; // a run without a journal, by choice: nothing to say
    // A link would have the invoices written wherever it points: it is moved
    // aside like a damaged file (the link itself, not what it points to).
    const bool linked = std::any_of(std::begin(sideFiles), std::end(sideFiles), [this](const char *suffix) {
        return QFileInfo(filePath + QLatin1String(suffix)).isSymLink();
    });
    if (linked && access == ReadOnly) {
        noteFailure(QStringLiteral("datoteka je poveznica na drugo mjesto"));
        return false;
    }
    if (!linked && openFile() && prepareSchema()) {
        usable = true;
        if (access == ReadWrite && pruning == PruneNow)
            prune();
        return true;
    }
    if (!linked && (access == ReadOnly || !QFile::exists(filePath)))
        return false;

    // Damaged: keep it for whoever wants to look, and start afresh.
    QSqlDatabase::database(connectionName, false).close();
    const QString aside = filePath + QStringLiteral(".damaged-")
                          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const bool moved = !QFileInfo::exists(filePath) && !QFileInfo(filePath).isSymLink() ? true
                                                                                          : QFile::rename(filePath, aside);
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(filePath + QLatin1String(suffix));
    if (moved && openFile() && prepareSchema()) {
        usable = true;
        problem = (linked ? QStringLiteral("Dnevnik ispisa %1 bio je poveznica na drugo mjesto; premješten je u %2 i "
                                           "započet je novi.")
                          : QStringLiteral("Dnevnik ispisa %1 bio je oštećen; premješten je u %2 i započet je novi."))
                      .arg(QDir::toNativeSeparators(filePath), QDir::toNativeSeparators(aside));
        problemTaken = false;
        qWarning().noquote() << problem;
        return true;
    }
    noteFailure(moved ? QStringLiteral("novi se ne može napraviti")
                      : QStringLiteral("oštećen je i ne može se premjestiti"));
    return false;
}

bool Journal::openFile()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(filePath);
    if (access == ReadWrite) {
        // What was printed is the user's alone, wherever the file is; SQLite
        // gives the files it keeps beside it the same permissions.
        QFile file(filePath);
        if (!file.exists() && file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.close();
        for (const char *suffix : sideFiles) {
            const QString side = filePath + QLatin1String(suffix);
            if (QFileInfo::exists(side) && !QFileInfo(side).isSymLink())
                QFile::setPermissions(side, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }
    // The shell never waits long for the file: what another program keeps
    // locked is held and written later.
    db.setConnectOptions(access == ReadOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                            : QStringLiteral("QSQLITE_BUSY_TIMEOUT=50"));
    if (!db.open()) {
        noteFailure(sqlProblem(db.lastError()));
        return false;
    }
    return true;
}

bool Journal::prepareSchema()
{
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    if (access == ReadOnly) {
        // Reading a garbage file fails here, without touching it.
        if (query.exec(QStringLiteral("SELECT count(*) FROM entries"))) {
            hasKind = QSqlDatabase::database(connectionName, false)
                          .record(QStringLiteral("entries"))
                          .contains(QStringLiteral("kind"));
            return true;
        }
        noteFailure(sqlProblem(query.lastError()));
        return false;
    }
    // The write-ahead log lets a reader (--journal) read while the shell
    // writes, and keeps a committed entry through a crash of the program.
    const QStringList statements = {
        QStringLiteral("PRAGMA journal_mode=WAL"),
        QStringLiteral("PRAGMA synchronous=NORMAL"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS entries ("
                       " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       " time_ms INTEGER NOT NULL,"
                       " page TEXT NOT NULL, mode TEXT NOT NULL, target TEXT NOT NULL, text TEXT NOT NULL,"
                       " outcome TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '',"
                       " job_id INTEGER NOT NULL DEFAULT 0, reprint_of INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS entries_time ON entries(time_ms)"),
        // Whether a page's invoice was printed already is asked at every load
        // the shell makes itself; the text's length and its start keep the
        // rows compared few without keeping every text twice.
        QStringLiteral("CREATE INDEX IF NOT EXISTS entries_page ON entries(page, length(text), substr(text, 1, 64))"),
        QStringLiteral("SELECT count(*) FROM entries"),
    };
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            noteFailure(sqlProblem(query.lastError()));
            return false;
        }
    }
    // A journal from before the kind of a failure was kept gets the column.
    if (!QSqlDatabase::database(connectionName, false).record(QStringLiteral("entries")).contains(QStringLiteral("kind"))
        && !query.exec(QStringLiteral("ALTER TABLE entries ADD COLUMN kind TEXT NOT NULL DEFAULT ''"))) {
        noteFailure(sqlProblem(query.lastError()));
        return false;
    }
    return true;
}

void Journal::prune()
{
    if (!usable || access != ReadWrite)
        return;
    // Older than the days kept and not among the entries kept.
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.prepare(QStringLiteral("DELETE FROM entries WHERE time_ms < ? AND id < "
                                 "(SELECT id FROM entries ORDER BY id DESC LIMIT 1 OFFSET ?)"));
    query.addBindValue(QDateTime::currentDateTimeUtc().addDays(-keepDays).toMSecsSinceEpoch());
    query.addBindValue(keepEntries - 1);
    if (!query.exec())
        qWarning().noquote() << "Dnevnik ispisa se ne može skratiti:" << sqlProblem(query.lastError());
}

void Journal::noteFailure(const QString &what)
{
    const QString text = QStringLiteral("Dnevnik ispisa %1 ne može se koristiti (%2); računi se i dalje ispisuju.")
                             .arg(QDir::toNativeSeparators(filePath), what);
    if (text == problem)
        return; // said once
    problem = text;
    problemTaken = false;
    qWarning().noquote() << problem;
}

QString Journal::takeProblem()
{
    if (problemTaken)
        return QString();
    problemTaken = true;
    return problem;
}

qint64 Journal::begin(const JournalEntry &entry)
{
    return insert(entry, QString::fromLatin1(JournalEntry::pending));
}

qint64 Journal::recordSkipped(const JournalEntry &entry)
{
    return insert(entry, QString::fromLatin1(JournalEntry::skipped));
}

qint64 Journal::insert(const JournalEntry &entry, const QString &outcome)
{
    if (!usable)
        return 0;
    HeldWrite write;
    write.entry = entry;
    write.entry.time = entry.time.isValid() ? entry.time : QDateTime::currentDateTimeUtc();
    write.entry.outcome = outcome;
    write.entry.id = --lastLocalId;
    // Nothing newer goes ahead of what waits.
    if (!held.isEmpty()) {
        held.append(write);
        return write.entry.id;
    }
    const qint64 local = write.entry.id;
    switch (writeNow(write)) {
    case Written:
        localIds.remove(local); // the caller has the real id: nothing to map
        return write.entry.id;
    case Locked:
        hold(write);
        return write.entry.id;
    case Failed:
        break;
    }
    return 0;
}

bool Journal::finish(qint64 id, bool printed, const QString &reason, qint64 jobId, const QString &kind)
{
    if (!usable || id == 0)
        return false;
    HeldWrite write;
    write.insert = false;
    // An entry that waited and is written since: its outcome is the last
    // thing its held id is needed for.
    write.entry.id = localIds.contains(id) ? localIds.take(id) : id;
    write.entry.outcome = QString::fromLatin1(printed ? JournalEntry::printed : JournalEntry::failed);
    write.entry.reason = printed ? QString() : reason;
    write.entry.kind = printed ? QString() : kind;
    write.entry.jobId = jobId;
    if (write.entry.id < 0) {
        // Its entry still waits: the outcome goes with it.
        for (HeldWrite &waiting : held) {
            if (waiting.insert && waiting.entry.id == write.entry.id) {
                waiting.entry.outcome = write.entry.outcome;
                waiting.entry.reason = write.entry.reason;
                waiting.entry.kind = write.entry.kind;
                waiting.entry.jobId = jobId;
                return true;
            }
        }
        return false;
    }
    if (!held.isEmpty()) {
        held.append(write);
        return true;
    }
    switch (writeNow(write)) {
    case Written:
        return true;
    case Locked:
        hold(write);
        return true;
    case Failed:
        break;
    }
    return false;
}

Journal::WriteResult Journal::writeNow(HeldWrite &write)
{
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    const JournalEntry &entry = write.entry;
    if (write.insert) {
        query.prepare(QStringLiteral("INSERT INTO entries (time_ms, page, mode, target, text, outcome, reason, job_id, "
                                     "reprint_of, kind) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        query.addBindValue(entry.time.toMSecsSinceEpoch());
        query.addBindValue(text(entry.page));
        query.addBindValue(text(entry.mode));
        query.addBindValue(text(entry.target));
        query.addBindValue(stored(entry.text));
        query.addBindValue(entry.outcome);
        query.addBindValue(text(entry.reason));
        query.addBindValue(entry.jobId);
        query.addBindValue(localIds.value(entry.reprintOf, entry.reprintOf));
        query.addBindValue(text(entry.kind));
    } else {
        query.prepare(QStringLiteral("UPDATE entries SET outcome = ?, reason = ?, job_id = ?, kind = ? WHERE id = ?"));
        query.addBindValue(entry.outcome);
        query.addBindValue(text(entry.reason));
        query.addBindValue(entry.jobId);
        query.addBindValue(text(entry.kind));
        query.addBindValue(entry.id);
    }
    if (query.exec()) {
        if (write.insert) {
            const qint64 id = query.lastInsertId().toLongLong();
            localIds.insert(entry.id, id);
            write.entry.id = id;
        }
        return Written;
    }
    const int code = query.lastError().nativeErrorCode().toInt() & 0xff;
    if (code == 5 || code == 6) // SQLITE_BUSY, SQLITE_LOCKED: another program holds the file for now
        return Locked;
    noteFailure(sqlProblem(query.lastError()));
    return Failed;
}

void Journal::hold(const HeldWrite &write)
{
    if (held.isEmpty())
        qWarning().noquote() << "Dnevnik ispisa" << QDir::toNativeSeparators(filePath)
                             << "drži zaključan drugi program; zapisi čekaju i bit će upisani kad se oslobodi";
    held.append(write);
}

bool Journal::writeHeld()
{
    if (held.isEmpty())
        return true;
    while (!held.isEmpty()) {
        HeldWrite &next = held.first();
        if (!next.insert)
            next.entry.id = localIds.value(next.entry.id, next.entry.id);
        switch (writeNow(next)) {
        case Written:
        case Failed: // said already; the rest may still go in
            held.removeFirst();
            break;
        case Locked:
            return false;
        }
    }
    qInfo().noquote() << "Dnevnik ispisa je ponovno slobodan; zapisi koji su čekali su upisani";
    return true;
}

QList<JournalEntry> Journal::latest(int count) const
{
    QList<JournalEntry> entries;
    if (!usable)
        return entries;
    for (auto it = held.crbegin(); it != held.crend() && entries.size() < count; ++it) {
        if (it->insert)
            entries.append(it->entry);
    }
    count -= entries.size();
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM entries ORDER BY id DESC LIMIT ?")
                      .arg(QLatin1String(hasKind ? columns : columnsWithoutKind)));
    query.addBindValue(count);
    if (query.exec()) {
        while (query.next())
            entries.append(entryFrom(query));
    }
    return entries;
}

std::optional<JournalEntry> Journal::latestIssued() const
{
    if (!usable)
        return std::nullopt;
    for (auto it = held.crbegin(); it != held.crend(); ++it) {
        if (it->insert && it->entry.reprintOf == 0 && it->entry.outcome != QLatin1String(JournalEntry::skipped))
            return it->entry;
    }
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM entries WHERE reprint_of = 0 AND outcome <> ? ORDER BY id DESC LIMIT 1")
                      .arg(QLatin1String(hasKind ? columns : columnsWithoutKind)));
    query.addBindValue(QString::fromLatin1(JournalEntry::skipped));
    if (query.exec() && query.next())
        return entryFrom(query);
    return std::nullopt;
}

qint64 Journal::printedFrom(const QString &page, const QString &text) const
{
    if (!usable)
        return 0;
    for (auto it = held.crbegin(); it != held.crend(); ++it) {
        if (it->insert && it->entry.outcome == QLatin1String(JournalEntry::printed) && it->entry.page == page
            && it->entry.text == text)
            return it->entry.id;
    }
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    // "+text": compared, not looked up, so that SQLite takes the index on
    // the page, the text's length and its start.
    query.prepare(QStringLiteral("SELECT id FROM entries WHERE page = ? AND length(text) = length(?) "
                                 "AND substr(text, 1, 64) = substr(?, 1, 64) AND +text = ? "
                                 "AND outcome = ? ORDER BY id DESC LIMIT 1"));
    query.addBindValue(::text(page));
    query.addBindValue(stored(text));
    query.addBindValue(stored(text));
    query.addBindValue(stored(text));
    query.addBindValue(QString::fromLatin1(JournalEntry::printed));
    return query.exec() && query.next() ? query.value(0).toLongLong() : 0;
}

QString journalLine(const JournalEntry &entry, const QString &text)
{
    // Written out by hand: Qt writes "Z" rather than "+00:00" for an offset of 0.
    const QDateTime local = entry.time.toLocalTime();
    const int offset = local.offsetFromUtc();
    const QString time = local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                         + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                         + QStringLiteral("%1:%2").arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
                               .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
    return QStringList{time, escapedField(entry.outcome), escapedField(entry.mode), escapedField(entry.target),
                       escapedField(entry.outcome == QLatin1String(JournalEntry::printed) ? QString() : entry.reason),
                       escapedField(text)}
        .join(QLatin1Char('\t'));
}

int writeJournalListing(const QString &path, int count, QTextStream &out, QTextStream &errors,
                        const std::function<QString(const JournalEntry &)> &shownText)
{
    if (!QFile::exists(path))
        return 0;
    Journal journal(path, Journal::ReadOnly);
    if (!journal.open()) {
        errors << journal.takeProblem() << '\n';
        return 1;
    }
    for (const JournalEntry &entry : journal.latest(count))
        out << journalLine(entry, shownText(entry)) << '\n';
    return 0;
}
