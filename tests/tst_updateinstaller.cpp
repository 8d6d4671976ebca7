#include "filereplace.h"
#include "testhelpers.h"
#include "updateinstaller.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Entries = QMap<QString, QByteArray>;

namespace {

struct Body
{
    QString folder;
    QString name;
    QByteArray body;
};

// The files as a finished download leaves them: in the staging folder.
QList<FetchedFile> staged(const QString &programDir, const QList<Body> &bodies)
{
    QList<FetchedFile> files;
    const QDir staging(QDir(programDir).filePath(InstallFiles::staging));
    for (int i = 0; i < bodies.size(); ++i) {
        const QString path = staging.filePath(QString::number(i));
        writeFile(path, bodies.at(i).body);
        files.append({bodies.at(i).folder, bodies.at(i).name, path});
    }
    return files;
}

// An install as the update runs it, the version taken as written.
InstallResult install(const QString &programDir, const QList<Body> &bodies, const QTime &now)
{
    InstallPlan plan;
    InstallResult result = planInstall(programDir, staged(programDir, bodies), 2, now, &plan);
    if (result.ok)
        result = applyInstall(programDir, plan);
    finishInstall(programDir);
    return result;
}

} // namespace

// Putting an update's files in place, undoing an interrupted install, and
// clearing what an earlier one left.
class TestUpdateInstaller : public QObject
{
    Q_OBJECT

private slots:
    void newFileInNewFolders();
    void existingFileMovedAside_data();
    void existingFileMovedAside();
    void keepsProgramExecutable();
    void failureRollsBack_data();
    void failureRollsBack();
    void linkOutOfTheFolderRefused_data();
    void linkOutOfTheFolderRefused();
    void interruptedInstall_data();
    void interruptedInstall();
    void unreadableRecordKeepsOldFiles();
    void removesOnlyMovedAsideFiles();
};

void TestUpdateInstaller::newFileInNewFolders()
{
    QTemporaryDir program;
    QVERIFY(install(program.path(), {{QStringLiteral("plugins/platforms"), QStringLiteral("new.dll"), "NEW"}},
                    QTime(9, 5, 7)).ok);
    QCOMPARE(filesBelow(program.path()),
             (Entries{{"plugins/", ""}, {"plugins/platforms/", ""}, {"plugins/platforms/new.dll", "NEW"}}));
}

void TestUpdateInstaller::existingFileMovedAside_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("movedAside");

    QTest::newRow("in a folder") << "f" << "f/x" << "f/_old_090507_x";
    QTest::newRow("beside the program") << "" << "x" << "_old_090507_x";
}

void TestUpdateInstaller::existingFileMovedAside()
{
    QFETCH(QString, folder);
    QFETCH(QString, target);
    QFETCH(QString, movedAside);

    QTemporaryDir program;
    QVERIFY(writeFile(program.filePath(target), "OLD"));
    QVERIFY(install(program.path(), {{folder, QStringLiteral("x"), "NEW"}}, QTime(9, 5, 7)).ok);
    Entries expected{{target, "NEW"}, {movedAside, "OLD"}};
    if (!folder.isEmpty())
        expected.insert(folder + QLatin1Char('/'), QByteArray());
    QCOMPARE(filesBelow(program.path()), expected);
}

void TestUpdateInstaller::keepsProgramExecutable()
{
    QTemporaryDir program;
    const QString exe = program.filePath(QStringLiteral("velmor-tarsila"));
    QVERIFY(writeFile(exe, "OLD"));
    QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                           | QFile::ExeGroup));
    QVERIFY(install(program.path(), {{QString(), QStringLiteral("velmor-tarsila"), "NEW"}}, QTime(1, 2, 3)).ok);
    QCOMPARE(readFile(exe), QByteArray("NEW"));
    QVERIFY(QFileInfo(exe).permissions() & QFile::ExeOwner);
    QVERIFY(QFileInfo(exe).permissions() & QFile::ExeGroup);
}

void TestUpdateInstaller::failureRollsBack_data()
{
    QTest::addColumn<QString>("blocker"); // what stands in the way of the last file
    QTest::newRow("a folder where the file goes") << "dir";
    QTest::newRow("a file where a folder goes") << "file";
    QTest::newRow("moved-aside name taken") << "taken";
    QTest::newRow("fetched file gone") << "gone";
}

void TestUpdateInstaller::failureRollsBack()
{
    QFETCH(QString, blocker);

    QTemporaryDir program;
    QVERIFY(writeFile(program.filePath(QStringLiteral("app.exe")), "OLD APP"));
    QVERIFY(writeFile(program.filePath(QStringLiteral("lib/core.dll")), "OLD CORE"));
    // replaced files, a new one beside them, and one in folders made for it
    QList<Body> bodies{{QString(), QStringLiteral("app.exe"), "NEW APP"},
                       {QStringLiteral("lib"), QStringLiteral("core.dll"), "NEW CORE"},
                       {QStringLiteral("lib"), QStringLiteral("extra.dll"), "NEW EXTRA"},
                       {QStringLiteral("plugins/deep"), QStringLiteral("new.dll"), "NEW PLUGIN"}};
    if (blocker == "dir") {
        QVERIFY(QDir().mkpath(program.filePath(QStringLiteral("data/settings.dat"))));
        bodies.append({QStringLiteral("data"), QStringLiteral("settings.dat"), "NEW DATA"});
    } else if (blocker == "file") {
        QVERIFY(writeFile(program.filePath(QStringLiteral("data")), "a file, not a folder"));
        bodies.append({QStringLiteral("data/sub"), QStringLiteral("x.dat"), "NEW DATA"});
    } else if (blocker == "taken") {
        QVERIFY(writeFile(program.filePath(QStringLiteral("readme.txt")), "OLD README"));
        QVERIFY(writeFile(program.filePath(QStringLiteral("_old_010203_readme.txt")), "left from before"));
        bodies.append({QString(), QStringLiteral("readme.txt"), "NEW README"});
    } else {
        bodies.append({QString(), QStringLiteral("vanished.dll"), "NEW"});
    }
    const Entries before = filesBelow(program.path());

    QList<FetchedFile> files = staged(program.path(), bodies);
    if (blocker == "gone")
        QVERIFY(QFile::remove(files.last().stagedPath));
    InstallPlan plan;
    InstallResult result = planInstall(program.path(), files, 2, QTime(1, 2, 3), &plan);
    if (result.ok)
        result = applyInstall(program.path(), plan);
    finishInstall(program.path());
    QVERIFY(!result.ok);
    QVERIFY(!result.file.isEmpty());
    QVERIFY(!result.problem.isEmpty());
    QCOMPARE(filesBelow(program.path()), before); // wholly old again, folders too
}

void TestUpdateInstaller::linkOutOfTheFolderRefused_data()
{
    QTest::addColumn<QString>("link");   // made in the program's folder, to a folder elsewhere
    QTest::addColumn<QString>("folder"); // where the update puts its file
    QTest::newRow("a linked folder") << "plugins" << "plugins";
    QTest::newRow("below a linked folder") << "plugins" << "plugins/deep";
    QTest::newRow("a linked file") << "a.dll" << "";
}

void TestUpdateInstaller::linkOutOfTheFolderRefused()
{
    QFETCH(QString, link);
    QFETCH(QString, folder);

    QTemporaryDir program, elsewhere;
    QVERIFY(writeFile(elsewhere.filePath(QStringLiteral("a.dll")), "OUTSIDE"));
    QVERIFY(QFile::link(link == "a.dll" ? elsewhere.filePath(link) : elsewhere.path(), program.filePath(link)));
    const Entries outside = filesBelow(elsewhere.path());

    InstallPlan plan;
    const QList<FetchedFile> files = staged(program.path(), {{folder, QStringLiteral("a.dll"), "NEW"}});
    QVERIFY(!planInstall(program.path(), files, 2, QTime(1, 2, 3), &plan).ok);
    QCOMPARE(filesBelow(elsewhere.path()), outside);
}

void TestUpdateInstaller::interruptedInstall_data()
{
    QTest::addColumn<int>("stepsDone");   // files wholly in place
    QTest::addColumn<bool>("movedAside"); // and the next one's old file kept aside
    QTest::addColumn<bool>("versionWritten");

    QTest::newRow("record written, nothing touched") << 0 << false << false;
    QTest::newRow("program kept aside, new one not yet in") << 0 << true << false;
    QTest::newRow("program replaced") << 1 << false << false;
    QTest::newRow("data file kept aside") << 1 << true << false;
    QTest::newRow("data file replaced, new file not yet in") << 2 << false << false;
    QTest::newRow("all in place, version not yet written") << 3 << false << false;
    QTest::newRow("all in place and the version written") << 3 << false << true;
}

void TestUpdateInstaller::interruptedInstall()
{
    QFETCH(int, stepsDone);
    QFETCH(bool, movedAside);
    QFETCH(bool, versionWritten);

    QTemporaryDir program;
    const QDir dir(program.path());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("velmor-tarsila")), "OLD PROGRAM"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data/config.dat")), "OLD CONFIG"));
    const Entries before = filesBelow(program.path());

    // The state a crash leaves after the given steps of a real plan.
    InstallPlan plan;
    const QList<FetchedFile> files =
        staged(program.path(), {{QString(), QStringLiteral("velmor-tarsila"), "NEW PROGRAM"},
                                {QStringLiteral("data"), QStringLiteral("config.dat"), "NEW CONFIG"},
                                {QStringLiteral("plugins"), QStringLiteral("new.dll"), "NEW PLUGIN"}});
    QVERIFY(planInstall(program.path(), files, 2, QTime(1, 2, 3), &plan).ok);
    QVERIFY(writeInstallRecord(program.path(), plan));
    if (stepsDone > 0 || movedAside) {
        for (const QString &folder : plan.folders)
            QVERIFY(dir.mkdir(folder));
    }
    for (int i = 0; i < stepsDone + (movedAside ? 1 : 0); ++i) {
        const InstallStep &step = plan.steps.at(i);
        if (!step.movedAside.isEmpty())
            QVERIFY(FileReplace::keepOld(dir.filePath(step.target), dir.filePath(step.movedAside)));
        if (i < stepsDone)
            QVERIFY(FileReplace::replace(step.stagedPath, dir.filePath(step.target)));
    }

    // What the next start does first.
    const Recovery recovery = recoverInterruptedInstall(program.path(), versionWritten ? 2 : 1);
    removeMovedAsideFiles(program.path());

    if (versionWritten) {
        QCOMPARE(recovery, Recovery::Completed);
        QCOMPARE(filesBelow(program.path()),
                 (Entries{{"velmor-tarsila", "NEW PROGRAM"}, {"data/", ""}, {"data/config.dat", "NEW CONFIG"},
                          {"plugins/", ""}, {"plugins/new.dll", "NEW PLUGIN"}}));
    } else {
        QCOMPARE(recovery, Recovery::RolledBack);
        QCOMPARE(filesBelow(program.path()), before); // bit for bit, and nothing added
    }
}

void TestUpdateInstaller::unreadableRecordKeepsOldFiles()
{
    QTemporaryDir program;
    QVERIFY(writeFile(program.filePath(QStringLiteral("_old_010203_velmor-tarsila")), "OLD PROGRAM"));
    QVERIFY(writeFile(program.filePath(InstallFiles::record), "{ not a record"));
    const Entries before = filesBelow(program.path());

    QCOMPARE(recoverInterruptedInstall(program.path(), 1), Recovery::Failed);
    removeMovedAsideFiles(program.path());
    QCOMPARE(filesBelow(program.path()), before); // the only copy of the program stays
}

void TestUpdateInstaller::removesOnlyMovedAsideFiles()
{
    QTemporaryDir program, elsewhere;
    const QStringList removed{"_old_120000_app.exe", "lib/_old_120000_core.dll", "lib/deeper/_old_", "_old_dir/_old_x"};
    const QStringList kept{"app.exe", "_OLD_120000_app.exe", "x_old_", "old_y", "_old_dir/plain", ".hidden/_old_z",
                           "lib/_Old_w"};
    for (const QString &file : removed + kept)
        QVERIFY(writeFile(program.filePath(file), "x"));
    QVERIFY(QDir().mkpath(program.filePath(QStringLiteral("_old_empty"))));
    QVERIFY(writeFile(elsewhere.filePath(QStringLiteral("_old_outside")), "x"));
    QVERIFY(QFile::link(elsewhere.path(), program.filePath(QStringLiteral("linked"))));

    removeMovedAsideFiles(program.path());

    for (const QString &file : removed)
        QVERIFY2(!QFile::exists(program.filePath(file)), qPrintable(file));
    for (const QString &file : kept)
        QVERIFY2(QFile::exists(program.filePath(file)), qPrintable(file));
    QVERIFY(QFileInfo(program.filePath(QStringLiteral("_old_empty"))).isDir());
    QVERIFY(QFileInfo(program.filePath(QStringLiteral("_old_dir"))).isDir());
    QVERIFY(QFile::exists(elsewhere.filePath(QStringLiteral("_old_outside")))); // links are not followed
}

QTEST_GUILESS_MAIN(TestUpdateInstaller)
#include "tst_updateinstaller.moc"
