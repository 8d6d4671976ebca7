#include "journal.h"
#include "testhelpers.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

JournalEntry entryFor(const QString &text, const QDateTime &time = QDateTime::currentDateTimeUtc())
{
    JournalEntry entry;
    entry.time = time;
    entry.page = QStringLiteral("https://service.example/invoices");
    entry.mode = QLatin1String(JournalEntry::portMode);
    entry.target = QStringLiteral("COM1 (/dev/ttyS0)");
    entry.text = text;
    return entry;
}

const QString journalFile = QStringLiteral("journal.sqlite");

} // namespace

// The journal's own file: what survives, what is repaired, what is kept, and
// the listing the program prints for a terminal.
class TestJournal : public QObject
{
    Q_OBJECT

private:
    // Runs `velmor-tarsila --journal arguments`; its exit code.
    static int listing(const QStringList &arguments, QString *out, QString *errors);

private slots:
    void init() { workDir = std::make_unique<ScopedWorkDir>(); }
    void cleanup() { workDir.reset(); }

    void survivesRestart();
    void damagedFileMovedAside();
    void journalOfAnEarlierVersion();
    void linkNeverWrittenThrough_data();
    void linkNeverWrittenThrough();
    void textKeptAsSent_data();
    void textKeptAsSent();
    void keeps_data();
    void keeps();
    void commandLine_data();
    void commandLine();
    void commandLineShowsInvoiceText();

private:
    std::unique_ptr<ScopedWorkDir> workDir;
};

void TestJournal::survivesRestart()
{
    {
        Journal journal(journalFile);
        QVERIFY(journal.open());
        const qint64 printed = journal.begin(entryFor(QStringLiteral("prvi")));
        QVERIFY(journal.finish(printed, true, QString(), 42));
        const qint64 failed = journal.begin(entryFor(QStringLiteral("drugi")));
        QVERIFY(journal.finish(failed, false, QStringLiteral("port se ne može otvoriti")));
        QVERIFY(journal.begin(entryFor(QStringLiteral("treći"))) > 0); // the program ends mid-output
        QVERIFY(isOwnerOnly(journalFile) && isOwnerOnly(journalFile + QStringLiteral("-wal")));
    }
    // as an earlier version left it: readable by all
    QFile::setPermissions(journalFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    Journal journal(journalFile);
    QVERIFY(journal.open());
    QVERIFY(isOwnerOnly(journalFile));
    const QList<JournalEntry> entries = journal.latest(10);
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries.at(0).text, QStringLiteral("treći"));
    QCOMPARE(entries.at(0).outcome, QLatin1String(JournalEntry::pending));
    QCOMPARE(entries.at(1).outcome, QLatin1String(JournalEntry::failed));
    QCOMPARE(entries.at(1).reason, QStringLiteral("port se ne može otvoriti"));
    QCOMPARE(entries.at(2).outcome, QLatin1String(JournalEntry::printed));
    QCOMPARE(entries.at(2).jobId, 42);
    QCOMPARE(entries.at(2).target, QStringLiteral("COM1 (/dev/ttyS0)"));
}

void TestJournal::damagedFileMovedAside()
{
    const QByteArray garbage(4096, 'x');
    QVERIFY(writeFile(journalFile, garbage));
    Journal journal(journalFile);
    QVERIFY(journal.open());
    QVERIFY(journal.takeProblem().contains(QStringLiteral("oštećen")));
    QCOMPARE(journal.takeProblem(), QString()); // said once
    QVERIFY(journal.begin(entryFor(QStringLiteral("račun"))) > 0);

    const QStringList aside = QDir().entryList({journalFile + QStringLiteral(".damaged-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(readFile(aside.first()), garbage);
}

void TestJournal::journalOfAnEarlierVersion()
{
    // As the previous version wrote it: no kind of failure.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("earlier"));
        db.setDatabaseName(journalFile);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral(
            "CREATE TABLE entries (id INTEGER PRIMARY KEY AUTOINCREMENT, time_ms INTEGER NOT NULL,"
            " page TEXT NOT NULL, mode TEXT NOT NULL, target TEXT NOT NULL, text TEXT NOT NULL,"
            " outcome TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '', job_id INTEGER NOT NULL DEFAULT 0,"
            " reprint_of INTEGER NOT NULL DEFAULT 0)")));
        QVERIFY(query.exec(QStringLiteral("INSERT INTO entries (time_ms, page, mode, target, text, outcome) "
                                          "VALUES (1, 'p', 'port', 'COM1', 'stari račun', 'printed')")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("earlier"));

    {
        Journal reader(journalFile, Journal::ReadOnly); // --journal, while the old shell still runs
        QVERIFY(reader.open());
        QCOMPARE(reader.latest(5).size(), 1);
    }
    Journal journal(journalFile);
    QVERIFY(journal.open());
    const qint64 id = journal.begin(entryFor(QStringLiteral("novi račun")));
    QVERIFY(journal.finish(id, false, QStringLiteral("nema porta"), 0, QStringLiteral("setting")));
    const QList<JournalEntry> entries = journal.latest(5);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).kind, QStringLiteral("setting"));
    QCOMPARE(entries.at(1).text, QStringLiteral("stari račun"));
}

void TestJournal::linkNeverWrittenThrough_data()
{
    QTest::addColumn<QString>("linked"); // which of the journal's files is a link
    QTest::newRow("the journal") << QString();
    QTest::newRow("its write-ahead log") << QStringLiteral("-wal");
}

void TestJournal::linkNeverWrittenThrough()
{
    QFETCH(QString, linked);
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("precious"));
    QVERIFY(writeFile(target, "keep me"));
    QVERIFY(QFile::link(target, journalFile + linked));

    Journal journal(journalFile);
    QVERIFY(journal.open()); // carries on with a journal of its own
    QVERIFY(journal.takeProblem().contains(QStringLiteral("poveznica")));
    QVERIFY(journal.begin(entryFor(QStringLiteral("račun"))) > 0);
    QCOMPARE(readFile(target), QByteArray("keep me"));
    QVERIFY(!QFileInfo(journalFile).isSymLink());
    QVERIFY(!QFileInfo(journalFile + QStringLiteral("-wal")).isSymLink());
}

void TestJournal::textKeptAsSent_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("lone high surrogate") << QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    QTest::newRow("lone low surrogate at the end") << QStringLiteral("a") + QChar(0xDC00);
    QTest::newRow("a pair") << QStringLiteral("a\U0001F600b");
    QTest::newRow("zero") << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
}

void TestJournal::textKeptAsSent()
{
    QFETCH(QString, text);
    {
        Journal journal(journalFile);
        QVERIFY(journal.open());
        QVERIFY(journal.begin(entryFor(text)) > 0);
    }
    Journal journal(journalFile);
    QVERIFY(journal.open());
    QCOMPARE(journal.latest(1).value(0).text, text);
}

void TestJournal::keeps_data()
{
    QTest::addColumn<int>("old"); // 100 days old
    QTest::addColumn<int>("recent");
    QTest::addColumn<int>("kept");

    const int limit = Journal::keepEntries;
    QTest::newRow("old ones past the count go") << limit + 3 << 2 << limit;
    QTest::newRow("recent ones all stay") << 3 << limit + 2 << limit + 2;
    QTest::newRow("a few old ones stay") << 5 << 0 << 5;
}

void TestJournal::keeps()
{
    QFETCH(int, old);
    QFETCH(int, recent);
    QFETCH(int, kept);
    {
        Journal journal(journalFile);
        QVERIFY(journal.open());
        const QDateTime longAgo = QDateTime::currentDateTimeUtc().addDays(-100);
        for (int i = 0; i < old + recent; ++i)
            QVERIFY(journal.begin(entryFor(QString::number(i), i < old ? longAgo : QDateTime::currentDateTimeUtc())));
    }
    Journal journal(journalFile); // what is kept is settled when the program starts
    QVERIFY(journal.open());
    const QList<JournalEntry> entries = journal.latest(2 * Journal::keepEntries);
    QCOMPARE(entries.size(), kept);
    QCOMPARE(entries.first().text, QString::number(old + recent - 1)); // the newest always stay
}

int TestJournal::listing(const QStringList &arguments, QString *out, QString *errors)
{
    // No display at all: the listing must not need one.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELMOR_EXECUTABLE), QStringList{QStringLiteral("--journal")} + arguments);
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished();
        qWarning("velmor-tarsila --journal did not end within 10 s");
        return -1;
    }
    *out = QString::fromUtf8(program.readAllStandardOutput());
    *errors = QString::fromUtf8(program.readAllStandardError());
    return program.exitCode();
}

void TestJournal::commandLineShowsInvoiceText()
{
    {
        Journal journal(journalFile);
        QVERIFY(journal.open());
        JournalEntry entry = entryFor(QStringLiteral("<html><body><h1>Račun 5</h1><p>Ukupno <b>3,00</b></p></body></html>"));
        entry.mode = QLatin1String(JournalEntry::printerMode);
        entry.target = QStringLiteral("Ured");
        journal.finish(journal.begin(entry), true, QString());
    }
    QString out;
    QString errors;
    QCOMPARE(listing({}, &out, &errors), 0);
    QCOMPARE(out.split(QLatin1Char('\t')).last(), QStringLiteral("Račun 5\\nUkupno 3,00\\n\n")); // its lines, no markup
    QVERIFY2(errors.isEmpty(), qPrintable(errors));
}

void TestJournal::commandLine_data()
{
    QTest::addColumn<QString>("file"); // "none", "garbage" or "entries"
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("lines");

    QTest::newRow("no journal here") << "none" << QStringList() << 0 << 0;
    QTest::newRow("garbage file") << "garbage" << QStringList() << 1 << 0;
    QTest::newRow("all of them") << "entries" << QStringList() << 0 << 2;
    QTest::newRow("the newest one") << "entries" << QStringList{QStringLiteral("1")} << 0 << 1;
    QTest::newRow("not a number") << "entries" << QStringList{QStringLiteral("x")} << 2 << 0;
}

void TestJournal::commandLine()
{
    QFETCH(QString, file);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(int, lines);

    if (file == QLatin1String("garbage"))
        QVERIFY(writeFile(journalFile, QByteArray(4096, 'x')));
    if (file == QLatin1String("entries")) {
        Journal journal(journalFile);
        QVERIFY(journal.open());
        // What a page may put in an invoice to drive a terminal: ESC, BEL, NUL, CR, U+202E.
        journal.finish(journal.begin(entryFor(QStringLiteral("Čokolada\t2,00\r\n\x1b[2Jukupno \\ 2,00\a")
                                              + QChar(0) + QChar(0x202e))),
                       true, QString());
        journal.finish(journal.begin(entryFor(QStringLiteral("Šećer"))), false, QStringLiteral("port\tnestao"));
    }

    QString out;
    QString errors;
    QCOMPARE(listing(arguments, &out, &errors), exitCode);
    const QStringList got = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(got.size(), lines);
    QCOMPARE(errors.isEmpty(), exitCode == 0);

    const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"));
    const QStringList newest = {QStringLiteral("failed"), QStringLiteral("port"), QStringLiteral("COM1 (/dev/ttyS0)"),
                                QStringLiteral("port\\tnestao"), QStringLiteral("Šećer")};
    const QStringList oldest = {QStringLiteral("printed"), QStringLiteral("port"), QStringLiteral("COM1 (/dev/ttyS0)"),
                                QString(),
                                QStringLiteral("Čokolada\\t2,00\\r\\n\\x1b[2Jukupno \\\\ 2,00\\x07\\x00\\u202e")};
    for (int i = 0; i < got.size(); ++i) {
        const QStringList fields = got.at(i).split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 6);
        QVERIFY2(time.match(fields.first()).hasMatch(), qPrintable(fields.first()));
        QCOMPARE(fields.mid(1), i == 0 ? newest : oldest);
    }
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
