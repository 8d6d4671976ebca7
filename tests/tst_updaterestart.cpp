#include "testhelpers.h"
#include "testserver.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <signal.h>

#include <httplib.h>

using FileMap = QMap<QString, QByteArray>;

namespace {

const QString harnessName = QStringLiteral("updates_harness");

} // namespace

// Whole updates: the update dialog in a program folder of its own, run as a
// separate process from another working directory, installing from a local
// server and restarting itself.
class TestUpdateRestart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void update_data();
    void update();
    void killedMidInstall();
    void newProgramThatCannotStart();

private:
    // A program folder holding the harness, a settings file pointing it at
    // the server's /updates/check, with version 1.
    void prepare(const QTemporaryDir &program, const QTemporaryDir &work);

    TestServer server;
    QByteArray harness;
};

void TestUpdateRestart::initTestCase()
{
    QVERIFY(server.start());
    harness = readFile(QStringLiteral(HARNESS_PATH));
    QVERIFY(!harness.isEmpty());
}

void TestUpdateRestart::update_data()
{
    QTest::addColumn<QByteArray>("answer");   // %S: the server's origin
    QTest::addColumn<FileMap>("served");      // path under /files/ -> body
    QTest::addColumn<FileMap>("before");      // program files besides the harness
    QTest::addColumn<int>("exitCode");        // 12 when it restarted
    QTest::addColumn<FileMap>("after");       // program files and folders ("name/") once it is over
    QTest::addColumn<QString>("label");       // what the dialog said when the button came on
    QTest::addColumn<QString>("version");

    const QString installed = QStringLiteral("Nova verzija je uspjesno dohvacena. Aplikacija ce se zatvoriti i ponovo pokrenuti!");

    QTest::newRow("new file in new folders")
        << QByteArray(R"({"version": 2, "files": [{"FilePath": "plugins/deep", "DownloadURL": "%S/files/new.dll"}]})")
        << FileMap{{"new.dll", "NEW DLL"}} << FileMap() << 12
        << FileMap{{"plugins/", ""}, {"plugins/deep/", ""}, {"plugins/deep/new.dll", "NEW DLL"}}
        << installed << "2";
    QTest::newRow("existing files replaced, moved-aside ones gone at the next start")
        << QByteArray(R"({"version": 2, "files": [{"FilePath": "data", "DownloadURL": "%S/files/config.dat"},
                                                  {"DownloadURL": "%S/files/readme.txt"}]})")
        << FileMap{{"config.dat", "NEW CONFIG"}, {"readme.txt", "NEW README"}}
        << FileMap{{"data/config.dat", "OLD CONFIG"}, {"readme.txt", "OLD README"}, {"keep.txt", "KEEP"}} << 12
        << FileMap{{"data/", ""}, {"data/config.dat", "NEW CONFIG"}, {"readme.txt", "NEW README"}, {"keep.txt", "KEEP"}}
        << installed << "2";
    QTest::newRow("query string ignored in the name")
        << QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/tool.bin?token=a/b&x=1"}]})")
        << FileMap{{"tool.bin", "TOOL"}} << FileMap() << 12 << FileMap{{"tool.bin", "TOOL"}} << installed << "2";
    QTest::newRow("the program replaces itself and starts again")
        << QByteArray(R"({"version": 2, "files": [{"FilePath": "", "DownloadURL": "%S/files/updates_harness"}]})")
        << FileMap{{"updates_harness", "%HARNESS%"}} << FileMap() << 12 << FileMap() << installed << "2";
    QTest::newRow("matching digest")
        << QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/a.dll", "SHA256": ")"
                      + QCryptographicHash::hash("GOOD", QCryptographicHash::Sha256).toHex() + R"("}]})")
        << FileMap{{"a.dll", "GOOD"}} << FileMap{{"a.dll", "OLD"}} << 12 << FileMap{{"a.dll", "GOOD"}} << installed
        << "2";
    QTest::newRow("one failing transfer: wholly old, no restart")
        << QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/a.dll"},
                                                  {"FilePath": "lib", "DownloadURL": "%S/files/missing.dll"}]})")
        << FileMap{{"a.dll", "NEW"}} << FileMap{{"a.dll", "OLD"}} << 0 << FileMap{{"a.dll", "OLD"}}
        << "Ažuriranje nije uspjelo: datoteka missing.dll nije dohvaćena" << "1";
    QTest::newRow("redirected transfer: wholly old, no restart")
        << QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/moved.dll"}]})")
        << FileMap{{"moved.dll", "%REDIRECT%"}} << FileMap{{"moved.dll", "OLD"}} << 0
        << FileMap{{"moved.dll", "OLD"}}
        << "Ažuriranje nije uspjelo: datoteka moved.dll nije dohvaćena (poslužitelj je odgovorio HTTP 302)" << "1";
    QTest::newRow("digest mismatch: wholly old, no restart")
        << QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/b.dll"}, {"DownloadURL": "%S/files/a.dll",
                      "SHA256": ")" + QByteArray(64, '0') + R"("}]})")
        << FileMap{{"a.dll", "TAMPERED"}, {"b.dll", "NEW B"}} << FileMap{{"a.dll", "OLD"}} << 0
        << FileMap{{"a.dll", "OLD"}} << "Ažuriranje nije uspjelo: datoteka a.dll je oštećena" << "1";
    QTest::newRow("hostile folder: refused, nothing fetched")
        << QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/a.dll"},
                                                  {"FilePath": "../escape", "DownloadURL": "%S/files/b.dll"}]})")
        << FileMap{{"a.dll", "NEW"}, {"b.dll", "EVIL"}} << FileMap() << 0 << FileMap()
        << "Ažuriranje je odbijeno: mapa \"../escape\" nije unutar programa" << "1";
    QTest::newRow("up to date: closes by itself")
        << QByteArray(R"({"version": 1, "files": [{"DownloadURL": "%S/files/a.dll"}]})") << FileMap{{"a.dll", "NEW"}}
        << FileMap() << 0 << FileMap() << QString() << "1";
}

void TestUpdateRestart::update()
{
    QFETCH(QByteArray, answer);
    QFETCH(FileMap, served);
    QFETCH(FileMap, before);
    QFETCH(int, exitCode);
    QFETCH(FileMap, after);
    QFETCH(QString, label);
    QFETCH(QString, version);

    server.clearRequests();
    server.content("/updates/check", answer.replace("%S", server.origin().toLatin1()), "application/json");
    for (auto it = served.cbegin(); it != served.cend(); ++it) {
        if (it.value() == "%REDIRECT%")
            server.route("/files/" + it.key().toLatin1(), [](const httplib::Request &, httplib::Response &res) {
                res.set_redirect("/files/elsewhere.dll");
            });
        else
            server.content("/files/" + it.key().toLatin1(), it.value() == "%HARNESS%" ? harness : it.value(),
                           "application/octet-stream");
    }

    QTemporaryDir program, work;
    prepare(program, work);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY(writeFile(program.filePath(it.key()), it.value()));

    QProcess process;
    process.setWorkingDirectory(work.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program.filePath(harnessName), QStringList());
    if (!process.waitForFinished(15000)) {
        process.kill();
        QFAIL(qPrintable(QStringLiteral("the harness did not end within 15 s; its log: ")
                         + QString::fromUtf8(readFile(work.filePath(QStringLiteral("harness.log"))))));
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);

    const QString log = work.filePath(QStringLiteral("harness.log"));
    QStringList expectedLog{QStringLiteral("start")};
    if (!label.isEmpty())
        expectedLog << QStringLiteral("label: ") + label;
    if (exitCode == 12) {
        // the new process, started from the same working directory, finds
        // itself up to date and closes without a word
        expectedLog << QStringLiteral("start") << QStringLiteral("closed");
        QTRY_VERIFY2_WITH_TIMEOUT(readFile(log).endsWith("closed\n") && readFile(log).count("start") == 2,
                                  readFile(log).constData(), 15000);
    } else {
        expectedLog << QStringLiteral("closed");
    }
    QStringList lines = QString::fromUtf8(readFile(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines) {
        if (!label.isEmpty() && line.startsWith(QStringLiteral("label: ") + label))
            line = QStringLiteral("label: ") + label; // the reason's details vary
    }
    QCOMPARE(lines, expectedLog);

    FileMap programFiles = filesBelow(program.path());
    QCOMPARE(programFiles.take(harnessName), harness);
    QCOMPARE(programFiles, after);
    QCOMPARE(filesBelow(work.path()).keys(), (QStringList{"harness.log", "harness.pid", "settings.ini"}));
    QCOMPARE(QSettings(work.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
                 .value(QStringLiteral("version")).toString(), version);
    if (label.startsWith(QStringLiteral("Ažuriranje je odbijeno")) || label.isEmpty()) {
        for (const RecordedRequest &request : server.requests())
            QVERIFY2(!request.path.startsWith("/files/"), request.target.constData());
    }
}

void TestUpdateRestart::prepare(const QTemporaryDir &program, const QTemporaryDir &work)
{
    const QString exe = program.filePath(harnessName);
    QVERIFY(writeFile(exe, harness));
    QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QSettings settings(work.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("checkForNewVersionUrl"), server.url(QStringLiteral("/updates/check?os=")));
    settings.setValue(QStringLiteral("version"), 1);
}

void TestUpdateRestart::killedMidInstall()
{
    QTemporaryDir program, work;
    prepare(program, work);
    QVERIFY(writeFile(program.filePath(QStringLiteral("data/config.dat")), "OLD CONFIG"));
    const FileMap before = filesBelow(program.path());

    // a new program that still runs: the harness with bytes of its own after it
    const QByteArray newProgram = harness + "\nnew version";
    server.content("/files/" + harnessName.toLatin1(), newProgram, "application/octet-stream");
    server.content("/files/config.dat", "NEW CONFIG", "application/octet-stream");
    server.content("/updates/check",
                   QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/updates_harness"},
                                                        {"FilePath": "data", "DownloadURL": "%S/files/config.dat"}]})")
                       .replace("%S", server.origin().toLatin1()),
                   "application/json");

    // Every rename waits a second before it happens, so the install can be
    // caught half done: the new program in place, the data file still old.
    QProcess traced;
    traced.setWorkingDirectory(work.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    traced.setProcessEnvironment(environment);
    traced.start(QStringLiteral("strace"), {QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                            QStringLiteral("-e"),
                                            QStringLiteral("inject=rename,renameat,renameat2:delay_enter=1000000"),
                                            program.filePath(harnessName)});
    QVERIFY2(traced.waitForStarted(5000), qPrintable(traced.errorString()));

    const QString exe = program.filePath(harnessName);
    QDeadlineTimer deadline(20000);
    bool killed = false;
    while (!killed && !deadline.hasExpired() && traced.state() == QProcess::Running) {
        const qint64 pid = readFile(work.filePath(QStringLiteral("harness.pid"))).toLongLong();
        if (pid > 0 && readFile(exe) == newProgram
            && readFile(program.filePath(QStringLiteral("data/config.dat"))) == "OLD CONFIG") {
            QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
            killed = true;
        }
        QThread::msleep(10);
    }
    traced.waitForFinished(5000);
    if (!killed && readFile(work.filePath(QStringLiteral("harness.pid"))).isEmpty()
        && traced.readAllStandardError().contains("ptrace"))
        QSKIP("strace may not trace processes here");
    QVERIFY2(killed, qPrintable(QStringLiteral("never caught mid-install; strace said: ")
                                + QString::fromLocal8Bit(traced.readAllStandardError())
                                + QStringLiteral("; the folder held: ")
                                + QStringList(filesBelow(program.path()).keys()).join(QStringLiteral(", "))));
    QVERIFY(QFile::exists(program.filePath(QStringLiteral("_update_record.json"))));

    // The next start (the new program, as it is in place) finds the install
    // unfinished and puts the old files back, bit for bit; the service now
    // says there is nothing newer.
    server.content("/updates/check", R"({"version": 1})", "application/json");
    QProcess restart;
    restart.setWorkingDirectory(work.path());
    restart.setProcessEnvironment(environment);
    restart.start(exe, QStringList());
    QVERIFY2(restart.waitForFinished(15000), qPrintable(QStringLiteral("the restarted harness did not end within 15 s: ")
                                                        + restart.errorString() + QStringLiteral("; the folder held: ")
                                                        + QStringList(filesBelow(program.path()).keys()).join(QStringLiteral(", "))));
    QCOMPARE(restart.exitCode(), 0);
    QCOMPARE(filesBelow(program.path()), before);
    QCOMPARE(QSettings(work.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
                 .value(QStringLiteral("version")).toString(), QStringLiteral("1"));
}

void TestUpdateRestart::newProgramThatCannotStart()
{
    // The service sends a program file that is no program: the old process
    // must stay up and say so, not end with 12 and leave the till with none.
    server.clearRequests();
    server.content("/updates/check",
                   QByteArray(R"({"version": 2, "files": [{"DownloadURL": "%S/files/updates_harness"}]})")
                       .replace("%S", server.origin().toLatin1()),
                   "application/json");
    server.content("/files/updates_harness", "not a program", "application/octet-stream");
    QTemporaryDir program, work;
    prepare(program, work);

    QProcess process;
    process.setWorkingDirectory(work.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(program.filePath(harnessName), QStringList());
    const bool ended = process.waitForFinished(15000);
    if (!ended)
        process.kill();
    const QString log = QString::fromUtf8(readFile(work.filePath(QStringLiteral("harness.log"))));
    QVERIFY2(ended, qPrintable(log));
    QCOMPARE(process.exitCode(), 0);
    const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4); // start, installed, cannot start, closed
    QVERIFY2(lines.at(2).contains(QStringLiteral("ne može pokrenuti")), qPrintable(log));
    QCOMPARE(lines.last(), QStringLiteral("closed"));
}

QTEST_GUILESS_MAIN(TestUpdateRestart)
#include "tst_updaterestart.moc"
