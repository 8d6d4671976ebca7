#include "buildconfig.h"
#include "testhelpers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <thread>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The program as a terminal or a desktop starts it, in `folder`.
std::unique_ptr<QProcess> start(const QString &folder, const QStringList &arguments, bool display = true)
{
    auto program = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    if (display)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program->setProcessEnvironment(environment);
    program->setWorkingDirectory(folder);
    program->start(QStringLiteral(VELMOR_EXECUTABLE), arguments);
    if (!program->waitForStarted(10000))
        qWarning("velmor-tarsila did not start: %s", qPrintable(program->errorString()));
    return program;
}

// Waits until the log in `folder` says `text` `count` times.
bool waitForLog(const QString &folder, const QString &text, int count = 1)
{
    const QDeadlineTimer deadline(15000);
    QByteArray log;
    while (!deadline.hasExpired()) {
        log = readFile(folder + QStringLiteral("/velmor-tarsila.log"));
        if (QString::fromUtf8(log).count(text) >= count)
            return true;
        QThread::msleep(50);
    }
    qWarning("Waited 15 s for \"%s\" x%d in the log; it said:\n%s", qPrintable(text), count, log.right(2000).constData());
    return false;
}

// Whether the program still runs; a QProcess learns of an exit only when asked.
bool stillRunning(QProcess &program)
{
    program.waitForFinished(0);
    return program.state() == QProcess::Running;
}

void stop(QProcess &program)
{
    program.kill();
    program.waitForFinished(5000);
}

} // namespace

// The real executable in a subprocess: its command line, and one window per
// user and data folder.
class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void oneWindowPerFolder();
    void foreignSocketNotTakenAtItsWord();
    void busyShellNotTakenForDead();
};

void TestProgram::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");

    QTest::newRow("help") << QStringList{"--help"} << 0 << "--journal [N]";
    QTest::newRow("help says where the files are") << QStringList{"-h"} << 0 << "~/.local/share/velmor-tarsila";
    QTest::newRow("version") << QStringList{"--version"} << 0 << QStringLiteral("Velmor Tarsila " VELMOR_VERSION);
    QTest::newRow("no display") << QStringList() << 1 << "QT_QPA_PLATFORM=offscreen";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "--bogus";
}

void TestProgram::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, said);

    QTemporaryDir folder;
    const auto program = start(folder.path(), arguments, false);
    QVERIFY2(program->waitForFinished(10000), "the program did not end within 10 s");
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), exitCode);
    const QString output = QString::fromUtf8(program->readAllStandardOutput() + program->readAllStandardError());
    QVERIFY2(output.contains(said), qPrintable(output));
}

void TestProgram::oneWindowPerFolder()
{
    QTemporaryDir shop, other;
    const auto first = start(shop.path(), {});
    QVERIFY(waitForLog(shop.path(), QStringLiteral("pokrenut")));

    // Again in the same folder: the first comes to the front, the second ends.
    const auto second = start(shop.path(), {});
    QVERIFY2(second->waitForFinished(10000), "the second start did not end within 10 s");
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(waitForLog(shop.path(), QStringLiteral("Drugi pokretaj")));
    QVERIFY(stillRunning(*first));

    // Another folder is another shell.
    const auto elsewhere = start(other.path(), {});
    QVERIFY(waitForLog(other.path(), QStringLiteral("pokrenut")));
    QVERIFY(stillRunning(*elsewhere));
    stop(*elsewhere);

    // A crash leaves the socket behind; the next start is not held back by it.
    stop(*first);
    const auto after = start(shop.path(), {});
    QVERIFY(waitForLog(shop.path(), QStringLiteral("pokrenut"), 2));
    QVERIFY(stillRunning(*after));
    stop(*after);
}

void TestProgram::foreignSocketNotTakenAtItsWord()
{
    // A data folder others may write, and another user who put a socket of
    // the shell's name there first, answering "ok" to every start.
    QTemporaryDir shop;
    QVERIFY(::chmod(QFile::encodeName(shop.path()).constData(), 0777) == 0);
    const auto first = start(shop.path(), {});
    QVERIFY(waitForLog(shop.path(), QStringLiteral("pokrenut")));
    const QStringList sockets = QDir(shop.path()).entryList({QStringLiteral("velmor-tarsila-*")}, QDir::System);
    QCOMPARE(sockets.size(), 1);
    const QByteArray path = QFile::encodeName(QDir(shop.path()).filePath(sockets.first()));
    stop(*first);
    QVERIFY(QFile::remove(QFile::decodeName(path)));

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
    QVERIFY(::seteuid(65534) == 0);
    const int planted = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool listening = planted >= 0 && ::bind(planted, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
                           && ::listen(planted, 4) == 0;
    QVERIFY(::seteuid(0) == 0);
    QVERIFY(listening);
    std::thread impostor([planted] {
        for (;;) {
            const int peer = ::accept(planted, nullptr, nullptr);
            if (peer < 0)
                return;
            char request[64];
            if (::read(peer, request, sizeof request) > 0 && ::write(peer, "ok\n", 3) != 3)
                qWarning("the planted socket could not answer");
            ::close(peer);
        }
    });

    const auto second = start(shop.path(), {});
    const bool cameUp = waitForLog(shop.path(), QStringLiteral("pokrenut"), 2);
    const bool running = stillRunning(*second);
    stop(*second);
    ::shutdown(planted, SHUT_RDWR);
    ::close(planted);
    impostor.join();
    QVERIFY(cameUp);
    QVERIFY(running);
}

void TestProgram::busyShellNotTakenForDead()
{
    QTemporaryDir shop;
    const auto first = start(shop.path(), {});
    QVERIFY(waitForLog(shop.path(), QStringLiteral("pokrenut")));
    ::kill(pid_t(first->processId()), SIGSTOP); // there, but answering nobody

    const auto second = start(shop.path(), {});
    const bool ended = second->waitForFinished(15000);
    ::kill(pid_t(first->processId()), SIGCONT);
    QVERIFY2(ended, "the second start did not end within 15 s");
    QCOMPARE(second->exitCode(), 1);
    QVERIFY(QString::fromUtf8(second->readAllStandardError()).contains(QStringLiteral("ne odgovara")));
    // The first keeps its socket: a third start brings it to the front.
    const auto third = start(shop.path(), {});
    QVERIFY2(third->waitForFinished(10000), "the third start did not end within 10 s");
    QCOMPARE(third->exitCode(), 0);
    QVERIFY(stillRunning(*first));
    stop(*first);
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
