#include "settings.h"
#include "testhelpers.h"
#include "testserver.h"
#include "updates.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// How a run of the dialog ended.
struct Outcome
{
    QString how;   // "closed" by itself, "waiting" for the button, or "stuck"
    QString label; // the status text when it ended
};

// Runs the dialog as the program does; stops it once its button is enabled
// (the user's turn), or after `limitMs`.
Outcome runUpdates(const ShellContext &context, bool autoClose, int limitMs = 10000)
{
    Outcome outcome;
    QElapsedTimer clock;
    clock.start();
    Updates dialog(context, nullptr, autoClose);
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("lblStatus"));
    auto *button = dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
    outcome.how = QStringLiteral("closed");
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (button->isEnabled()) {
            outcome.how = QStringLiteral("waiting");
            outcome.label = label->text();
            QTest::mouseClick(button, Qt::LeftButton); // nothing to restart: it closes
        } else if (clock.elapsed() > limitMs) {
            outcome.how = QStringLiteral("stuck");
            dialog.reject();
        }
    });
    watch.start(20);
    dialog.exec();
    if (outcome.label.isEmpty())
        outcome.label = label->text();
    return outcome;
}

QString settingsValue(const char *key)
{
    return QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat).value(QLatin1String(key)).toString();
}

} // namespace

// The update check against local servers, in this process. Installing and
// restarting are tried in a program folder of their own (tst_updaterestart).
class TestUpdates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void checkAddress_data();
    void checkAddress();
    void answers_data();
    void answers();
    void signedAnswers_data();
    void signedAnswers();
    void checkOnlyOverHttps();
    void transferLimits_data();
    void transferLimits();
    void versionNotWrittenIsAFailure();
    void stalledServerTimesOut();
    void certificateChecked();
    void upToDateSaidWhenOpenedByHand();
    void settingsDialogOpensUpdates();
    void restartWaitsForTheSettings();

private:
    ShellContext context() const { return testContext(service.origin()); }
    // Opens the update dialog from Postavke' own button and answers it as a
    // user would; the last text it showed.
    QString updateFromSettings(Settings &settings);
    // The first update file the service was asked for; empty when none was.
    QByteArray fetchedFile() const
    {
        for (const RecordedRequest &request : service.requests()) {
            if (request.path.startsWith("/files/"))
                return request.target;
        }
        return QByteArray();
    }

    TestServer service;
    std::unique_ptr<ScopedWorkDir> workDir;
};

void TestUpdates::initTestCase()
{
    QVERIFY(service.start());
}

void TestUpdates::init()
{
    workDir = std::make_unique<ScopedWorkDir>();
    service.content("/updates/checkForUpdates", R"({"version": 0})", "application/json");
    service.clearRequests();
}

void TestUpdates::cleanup()
{
    workDir.reset();
}

void TestUpdates::checkAddress_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("platform");

    QTest::newRow("built-in address") << QByteArray() << QByteArray("/updates/checkForUpdates")
                                      << QByteArray("/updates/checkForUpdates?os=1") << QString();
    QTest::newRow("a build's own platform code")
        << QByteArray() << QByteArray("/updates/checkForUpdates") << QByteArray("/updates/checkForUpdates?os=linux-x64")
        << QStringLiteral("linux-x64");
    QTest::newRow("empty setting uses the built-in one")
        << QByteArray("checkForNewVersionUrl=\n") << QByteArray("/updates/checkForUpdates")
        << QByteArray("/updates/checkForUpdates?os=1") << QString();
    QTest::newRow("configured address gets the 1")
        << QByteArray("checkForNewVersionUrl=%S/custom/check?platform=\n") << QByteArray("/custom/check")
        << QByteArray("/custom/check?platform=1") << QString();
    QTest::newRow("configured without a query key")
        << QByteArray("checkForNewVersionUrl=%S/check\n") << QByteArray("/check1") << QByteArray("/check1") << QString();
}

void TestUpdates::checkAddress()
{
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, target);
    QFETCH(QString, platform);

    service.content(path, R"({"version": 0})", "application/json");
    writeSettingsFile("[General]\n" + settings.replace("%S", service.origin().toLatin1()));
    ShellContext shell = context();
    if (!platform.isEmpty())
        shell.updatePlatform = platform;
    QCOMPARE(runUpdates(shell, true).how, QStringLiteral("closed"));
    QCOMPARE(service.requests().size(), 1);
    QCOMPARE(service.requests().first().target, target);
}

void TestUpdates::answers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("label");   // start of the status text, when waiting
    QTest::addColumn<QString>("version"); // in the file afterwards; stored was "2"

    const QString kept = QStringLiteral("2");
    const QByteArray files = R"(, "files": [{"FilePath": "lib", "DownloadURL": "%S/files/a.dll"}])";
    QTest::newRow("same version: nothing written")
        << QByteArray(R"({"version": 2)" + files + "}") << 200 << "closed" << "" << kept;
    QTest::newRow("lower version") << QByteArray(R"({"version": 1.5)" + files + "}") << 200 << "closed" << "" << kept;
    QTest::newRow("higher without files: written, closed")
        << QByteArray(R"({"version": 3})") << 200 << "closed" << "" << "3";
    QTest::newRow("higher with an empty list") << QByteArray(R"({"version": 3.5, "files": []})") << 200 << "closed"
                                               << "" << "3.5";
    QTest::newRow("only entries without an address")
        << QByteArray(R"({"version": 4, "files": [{"FilePath": "x"}]})") << 200 << "closed" << "" << "4";
    QTest::newRow("numeric string") << QByteArray(R"({"version": "5"})") << 200 << "closed" << "" << "5";
    QTest::newRow("cut at a NUL") << QByteArray("{\"version\": 6}\0{{{", 18) << 200 << "closed" << "" << "6";
    QTest::newRow("invalid answer is up to date") << QByteArray("<html>oops</html>") << 200 << "closed" << "" << kept;
    QTest::newRow("endless answer aborted")
        << QByteArray("(function(){ for (;;) {} })()") << 200 << "closed" << "" << kept;
    QTest::newRow("check fails")
        << QByteArray("not here") << 404 << "waiting"
        << "Dogodila se greska prilikom provjere dostupnosti azuriranja! " << kept;
    QTest::newRow("absolute FilePath refused")
        << QByteArray(R"({"version": 9, "files": [{"FilePath": "/tmp", "DownloadURL": "%S/files/a.dll"}]})") << 200
        << "waiting" << "Ažuriranje je odbijeno: " << kept;
    QTest::newRow("climbing FilePath refused")
        << QByteArray(R"({"version": 9, "files": [{"FilePath": "../..", "DownloadURL": "%S/files/a.dll"}]})") << 200
        << "waiting" << "Ažuriranje je odbijeno: " << kept;
    QTest::newRow("nameless download refused")
        << QByteArray(R"({"version": 9, "files": [{"FilePath": "", "DownloadURL": "%S/files/"}]})") << 200
        << "waiting" << "Ažuriranje je odbijeno: " << kept;

    // Answers that would hang or exhaust the program if it read them itself.
    const QString unreadable = QStringLiteral("Ažuriranje je odbijeno: odgovor provjere se ne može pročitati");
    QTest::newRow("a getter that never ends")
        << QByteArray("{get version() { for (;;) {} }}") << 200 << "waiting" << unreadable << kept;
    QTest::newRow("a conversion that never ends")
        << QByteArray("{version: {valueOf: function() { for (;;) {} }}}") << 200 << "waiting" << unreadable << kept;
    QTest::newRow("a built-in that eats memory")
        << QByteArray(R"({version: new Array(2e7).join("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx").length})") << 200
        << "waiting" << unreadable << kept;
    QTest::newRow("an answer over 1 MB")
        << QByteArray(R"({"version": 9, "pad": ")" + QByteArray(1100 * 1024, 'x') + "\"}") << 200 << "waiting"
        << "Ažuriranje je odbijeno: odgovor provjere je veći od 1 MB" << kept;
    QTest::newRow("infinite version")
        << QByteArray(R"({"version": Infinity)" + files + "}") << 200 << "waiting"
        << "Ažuriranje je odbijeno: najavljena verzija nije konačan broj" << kept;
    QTest::newRow("absurd version without files")
        << QByteArray(R"({"version": 1e308, "files": []})") << 200 << "waiting"
        << "Ažuriranje je odbijeno: najavljena verzija 1e+308 nije manja od 1000000" << kept;
    QTest::newRow("version 999999 without files")
        << QByteArray(R"({"version": 999999})") << 200 << "waiting" << "Ažuriranje je odbijeno: " << kept;

    // Addresses and names that are not the service's https files.
    QTest::newRow("http download")
        << QByteArray(R"({"version": 9, "files": [{"DownloadURL": "http://127.0.0.1:1/a.dll"}]})") << 200
        << "waiting" << "Ažuriranje je odbijeno: adresa \"http://127.0.0.1:1/a.dll\" nije https" << kept;
    QTest::newRow("file download")
        << QByteArray(R"({"version": 9, "files": [{"DownloadURL": "file:///etc/hostname"}]})") << 200 << "waiting"
        << "Ažuriranje je odbijeno: adresa \"file:///etc/hostname\" nije https" << kept;
    QTest::newRow("data download")
        << QByteArray(R"({"version": 9, "files": [{"DownloadURL": "data:,x"}]})") << 200 << "waiting"
        << "Ažuriranje je odbijeno: adresa \"data:,x\" nije https" << kept;
    QTest::newRow("NUL in a file name")
        << QByteArray(R"({"version": 9, "files": [{"DownloadURL": "%S/files/a%00.dll"}]})") << 200 << "waiting"
        << "Ažuriranje je odbijeno: naziv datoteke sadrži kontrolne znakove" << kept;
    QTest::newRow("line break in a folder name")
        << QByteArray(R"({"version": 9, "files": [{"FilePath": "a\nb", "DownloadURL": "%S/files/a.dll"}]})") << 200
        << "waiting" << "Ažuriranje je odbijeno: naziv mape sadrži kontrolne znakove" << kept;
    QTest::newRow("folder turned around by U+202E")
        << QByteArray(R"({"version": 9, "files": [{"FilePath": "lib‮txt.exe", "DownloadURL": "%S/files/a.dll"}]})")
        << 200 << "waiting" << "Ažuriranje je odbijeno: naziv mape sadrži kontrolne znakove" << kept;
}

void TestUpdates::answers()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(QString, how);
    QFETCH(QString, label);
    QFETCH(QString, version);

    service.content("/updates/checkForUpdates", answer.replace("%S", service.origin().toLatin1()), "application/json",
                    status);
    writeSettingsFile("[General]\nversion=2\n");

    const Outcome outcome = runUpdates(context(), true);
    QCOMPARE(outcome.how, how);
    QVERIFY2(outcome.label.startsWith(label), qPrintable(outcome.label));
    QCOMPARE(settingsValue("version"), version);
    QCOMPARE(fetchedFile(), QByteArray());
}

void TestUpdates::signedAnswers_data()
{
    QTest::addColumn<QByteArray>("signedBody");
    QTest::addColumn<QByteArray>("servedBody"); // empty: the signed one
    QTest::addColumn<QByteArray>("signature");  // "good", "none", or "flipped" (one bit off)
    QTest::addColumn<QString>("label");         // start of the status text when it waits; empty when it closed
    QTest::addColumn<QString>("version");       // stored was "2"

    const QByteArray three = R"({"version": 3})";
    const QString forged = QStringLiteral("Ažuriranje je odbijeno: Odgovor o ažuriranju nije ispravno potpisan");
    const QByteArray withDigest = R"(, "files": [{"DownloadURL": "%S/files/a.dll", "SHA256": ")" + QByteArray(64, 'a')
                                  + "\"}]}";
    QTest::newRow("signed") << three << QByteArray() << QByteArray("good") << QString() << "3";
    QTest::newRow("no signature") << three << QByteArray() << QByteArray("none") << forged << "2";
    QTest::newRow("wrong signature") << three << QByteArray() << QByteArray("flipped") << forged << "2";
    QTest::newRow("body changed after signing")
        << three << QByteArray(R"({"version": 30})") << QByteArray("good") << forged << "2";
    QTest::newRow("file without SHA256")
        << QByteArray(R"({"version": 9, "files": [{"DownloadURL": "%S/files/a.dll"}]})") << QByteArray()
        << QByteArray("good") << "Ažuriranje je odbijeno: datoteka a.dll nema SHA256" << "2";
    QTest::newRow("same version, replayed") << R"({"version": 2)" + withDigest << QByteArray() << QByteArray("good")
                                            << QString() << "2";
    QTest::newRow("lower version") << R"({"version": 1)" + withDigest << QByteArray() << QByteArray("good")
                                   << QString() << "2";
}

void TestUpdates::signedAnswers()
{
    QFETCH(QByteArray, signedBody);
    QFETCH(QByteArray, servedBody);
    QFETCH(QByteArray, signature);
    QFETCH(QString, label);
    QFETCH(QString, version);

    // Signed as the README tells a deployer to.
    signedBody.replace("%S", service.origin().toLatin1());
    QVERIFY(writeFile(QStringLiteral("answer.json"), signedBody));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {QStringLiteral("pkeyutl"), QStringLiteral("-sign"), QStringLiteral("-rawin"),
                                             QStringLiteral("-inkey"), QStringLiteral(SIGNING_KEY_DIR "/update-key.pem"),
                                             QStringLiteral("-in"), QStringLiteral("answer.json")});
    QVERIFY2(openssl.waitForFinished(10000) && openssl.exitCode() == 0, openssl.readAllStandardError().constData());
    QByteArray raw = openssl.readAllStandardOutput();
    QCOMPARE(raw.size(), 64);
    if (signature == "flipped")
        raw[10] = char(raw[10] ^ 1);
    const QByteArray header = signature == "none" ? QByteArray() : raw.toBase64();
    const QByteArray body = servedBody.isEmpty() ? signedBody : servedBody;
    service.route("/updates/checkForUpdates", [header, body](const httplib::Request &, httplib::Response &res) {
        if (!header.isEmpty())
            res.set_header("X-Update-Signature", header.toStdString());
        res.set_content(body.toStdString(), "application/json");
    });
    writeSettingsFile("[General]\nversion=2\n");

    ShellContext signedContext = context();
    signedContext.updatePublicKey = readFile(QStringLiteral(SIGNING_KEY_DIR "/update-public.pem"));
    const Outcome outcome = runUpdates(signedContext, true);
    QCOMPARE(outcome.how, label.isEmpty() ? QStringLiteral("closed") : QStringLiteral("waiting"));
    QVERIFY2(outcome.label.startsWith(label), qPrintable(outcome.label));
    QCOMPARE(settingsValue("version"), version);
    QCOMPARE(fetchedFile(), QByteArray());
}

void TestUpdates::checkOnlyOverHttps()
{
    TestServer plain(TestServer::Http);
    QVERIFY(plain.start());
    plain.content("/check", R"({"version": 0})", "application/json");
    writeSettingsFile("[General]\ncheckForNewVersionUrl=" + plain.url(QStringLiteral("/check?os=")).toLatin1() + "\n");

    const Outcome outcome = runUpdates(context(), true);
    QCOMPARE(outcome.how, QStringLiteral("waiting"));
    QVERIFY2(outcome.label.startsWith(QStringLiteral("Ažuriranje je odbijeno: adresa provjere")), qPrintable(outcome.label));
    QCOMPARE(plain.requests().size(), 0);
}

void TestUpdates::transferLimits_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("label");

    QTest::newRow("announced length over the limit") << QByteArray("announced") << "datoteka big.bin je veća od 1 MB";
    QTest::newRow("unannounced length over the limit")
        << QByteArray("unannounced") << "datoteka big.bin je veća od 1 MB";
    QTest::newRow("all files together over the limit")
        << QByteArray("together") << "datoteke ažuriranja su zajedno veće od 1 MB";
    QTest::newRow("trickling past the time limit") << QByteArray("trickle") << "datoteka big.bin nije dohvaćena u";
}

void TestUpdates::transferLimits()
{
    QFETCH(QByteArray, kind);
    QFETCH(QString, label);

    const auto release = std::make_shared<std::atomic<bool>>(false);
    const QByteArray chunk(64 * 1024, 'u');
    service.route("/files/big.bin", [kind, chunk, release](const httplib::Request &, httplib::Response &res) {
        if (kind == "announced") {
            res.set_content(std::string(2 << 20, 'u'), "application/octet-stream");
        } else if (kind == "together") {
            res.set_content(std::string(600 * 1024, 'u'), "application/octet-stream");
        } else if (kind == "unannounced") {
            res.set_chunked_content_provider("application/octet-stream",
                                             [chunk](size_t offset, httplib::DataSink &sink) {
                                                 if (offset >= (4u << 20))
                                                     sink.done();
                                                 else
                                                     sink.write(chunk.constData(), size_t(chunk.size()));
                                                 return true;
                                             });
        } else {
            // a byte at a time, well inside the inactivity timeout
            res.set_chunked_content_provider("application/octet-stream",
                                             [release](size_t offset, httplib::DataSink &sink) {
                                                 if (offset >= 100 || *release)
                                                     return false;
                                                 std::this_thread::sleep_for(std::chrono::milliseconds(200));
                                                 sink.write("u", 1);
                                                 return true;
                                             });
        }
    });
    const QByteArray second = kind == "together" ? R"(, {"FilePath": "b", "DownloadURL": "%S/files/big.bin"})" : "";
    service.content("/updates/checkForUpdates",
                    QByteArray(R"({"version": 3, "files": [{"DownloadURL": "%S/files/big.bin"})" + second + "]}")
                        .replace("%S", service.origin().toLatin1()),
                    "application/json");
    writeSettingsFile("[General]\nversion=2\n");

    QTemporaryDir program;
    QVERIFY(writeFile(program.filePath(QStringLiteral("big.bin")), "OLD"));
    ShellContext limited = context();
    limited.programDir = program.path();
    limited.updateLimits.updateBytes = 1 << 20;
    limited.updateLimits.fileTimeMs = 1000;
    const Outcome outcome = runUpdates(limited, true);
    *release = true;
    service.content("/updates/checkForUpdates", R"({"version": 0})", "application/json");

    QCOMPARE(outcome.how, QStringLiteral("waiting"));
    QVERIFY2(outcome.label.startsWith(QStringLiteral("Ažuriranje nije uspjelo: ") + label), qPrintable(outcome.label));
    QCOMPARE(filesBelow(program.path()), (QMap<QString, QByteArray>{{"big.bin", "OLD"}}));
    QCOMPARE(settingsValue("version"), QStringLiteral("2"));
}

void TestUpdates::versionNotWrittenIsAFailure()
{
    // settings.ini on a file system that is full
    QTemporaryDir mountPoint;
    QProcess mount;
    mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=256k"), QStringLiteral("tmpfs"), mountPoint.path()});
    if (!mount.waitForFinished(5000) || mount.exitCode() != 0)
        QSKIP("mounting a tmpfs needs root");
    const QString previous = QDir::currentPath();
    auto unmount = qScopeGuard([&] {
        QDir::setCurrent(previous);
        QProcess::execute(QStringLiteral("umount"), {mountPoint.path()});
    });
    QDir::setCurrent(mountPoint.path());
    writeSettingsFile("[General]\nversion=2\n");
    QFile filler(QStringLiteral("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();

    service.content("/files/a.dll", "NEW", "application/octet-stream");
    service.content("/updates/checkForUpdates",
                    QByteArray(R"({"version": 3, "files": [{"DownloadURL": "%S/files/a.dll"}]})")
                        .replace("%S", service.origin().toLatin1()),
                    "application/json");
    QTemporaryDir program;
    QVERIFY(writeFile(program.filePath(QStringLiteral("a.dll")), "OLD"));
    ShellContext onFullDisk = context();
    onFullDisk.programDir = program.path();
    const Outcome outcome = runUpdates(onFullDisk, true);
    service.content("/updates/checkForUpdates", R"({"version": 0})", "application/json");

    QCOMPARE(outcome.how, QStringLiteral("waiting"));
    QVERIFY2(outcome.label.startsWith(QStringLiteral("Ažuriranje nije uspjelo: verzija se ne može zapisati")),
             qPrintable(outcome.label));
    QCOMPARE(filesBelow(program.path()), (QMap<QString, QByteArray>{{"a.dll", "OLD"}}));
    QCOMPARE(settingsValue("version"), QStringLiteral("2"));
}

void TestUpdates::stalledServerTimesOut()
{
    // shared with the server thread, which may still be inside the handler
    // when this function returns
    const auto release = std::make_shared<std::atomic<bool>>(false);
    service.route("/stalled", [release](const httplib::Request &, httplib::Response &res) {
        for (int i = 0; i < 600 && !*release; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        res.set_content(R"({"version": 0})", "application/json");
    });
    writeSettingsFile("[General]\ncheckForNewVersionUrl=" + service.url(QStringLiteral("/stalled?os=")).toLatin1() + "\n");

    const Outcome outcome = runUpdates(testContext(service.origin(), 500), true);
    *release = true;
    QCOMPARE(outcome.how, QStringLiteral("waiting"));
    QVERIFY2(outcome.label.startsWith(QStringLiteral("Dogodila se greska")), qPrintable(outcome.label));
}

void TestUpdates::certificateChecked()
{
    TestServer untrusted(TestServer::Https, QStringLiteral(UNTRUSTED_CERT_DIR));
    QVERIFY(untrusted.start());
    untrusted.content("/updates/checkForUpdates", R"({"version": 0})", "application/json");

    // a certificate that nobody vouches for: the check fails
    writeSettingsFile("[General]\ncheckForNewVersionUrl=" + untrusted.url(QStringLiteral("/updates/checkForUpdates?os="))
                      .toLatin1() + "\n");
    Outcome outcome = runUpdates(context(), true);
    QCOMPARE(outcome.how, QStringLiteral("waiting"));
    QVERIFY2(outcome.label.startsWith(QStringLiteral("Dogodila se greska")), qPrintable(outcome.label));
    QCOMPARE(untrusted.requests().size(), 0); // refused before any request was sent

    // the certificate built into the program: the check goes through
    writeSettingsFile("[General]\ncheckForNewVersionUrl=" + service.url(QStringLiteral("/updates/checkForUpdates?os="))
                      .toLatin1() + "\n");
    outcome = runUpdates(context(), true);
    QCOMPARE(outcome.how, QStringLiteral("closed"));
    QCOMPARE(service.requests().size(), 1);
}

void TestUpdates::upToDateSaidWhenOpenedByHand()
{
    const Outcome outcome = runUpdates(context(), false);
    QCOMPARE(outcome.how, QStringLiteral("waiting"));
    QCOMPARE(outcome.label, QStringLiteral("Nema dostupnih azuriranja. Vec koristite najnoviju verziju!"));
}

QString TestUpdates::updateFromSettings(Settings &settings)
{
    // Each time the update dialog's button comes on with a new text, the
    // user presses it.
    QString seen;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&seen] {
        auto *updates = qobject_cast<Updates *>(QApplication::activeModalWidget());
        if (!updates)
            return;
        auto *button = updates->findChild<QPushButton *>(QStringLiteral("pushButton"));
        const QString label = updates->findChild<QLabel *>(QStringLiteral("lblStatus"))->text();
        if (button->isEnabled() && label != seen) {
            seen = label;
            QTest::mouseClick(button, Qt::LeftButton);
        }
    });
    watch.start(20);
    QTest::mouseClick(settings.findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    return seen;
}

void TestUpdates::settingsDialogOpensUpdates()
{
    Settings settings(context(), nullptr);
    settings.show();
    QCOMPARE(updateFromSettings(settings), QStringLiteral("Nema dostupnih azuriranja. Vec koristite najnoviju verziju!"));
    QVERIFY(settings.isVisible()); // back in the settings dialog
    QCOMPARE(service.requestsTo("/updates/checkForUpdates").size(), 1);
}

void TestUpdates::restartWaitsForTheSettings()
{
    // A new version installed from Postavke: what is chosen there and not
    // saved is not lost to the restart (which would end this test).
    service.content("/updates/checkForUpdates",
                    R"({"version": 9, "files": [{"FilePath": "lib", "DownloadURL": ")" + service.origin().toLatin1()
                        + R"(/files/a.dll"}]})",
                    "application/json");
    service.content("/files/a.dll", "nova", "application/octet-stream");
    writeSettingsFile("[General]\nversion=2\n");
    Settings settings(context(), nullptr);
    settings.show();
    QSignalSpy deferred(&settings, &Settings::restartDeferred);
    QCOMPARE(updateFromSettings(settings), QStringLiteral("Nova verzija je uspjesno dohvacena. Aplikacija ce se zatvoriti i ponovo pokrenuti!"));
    QCOMPARE(deferred.count(), 1);
    QVERIFY(settings.isVisible()); // still open, as the cashier left them
    QVERIFY2(settings.findChild<QLabel *>(QStringLiteral("lblInUse"))->text().contains(QStringLiteral("zatvorite Postavke")),
             qPrintable(settings.findChild<QLabel *>(QStringLiteral("lblInUse"))->text()));
}

QTEST_MAIN(TestUpdates)
#include "tst_updates.moc"
