#include "updateinstaller.h"
#include "testhelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Entries = QMap<QString, QByteArray>;

// Putting an update's files in place, and clearing what an earlier one left.
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
    void removesOnlyMovedAsideFiles();
};

void TestUpdateInstaller::newFileInNewFolders()
{
    QTemporaryDir program;
    const InstallResult result =
        installFiles(program.path(), {{QStringLiteral("plugins/platforms"), QStringLiteral("new.dll"), "NEW"}},
                     QTime(9, 5, 7));
    QVERIFY(result.ok);
    QCOMPARE(filesBelow(program.path()), (Entries{{"plugins/", ""}, {"plugins/platforms/", ""}, {"plugins/platforms/new.dll", "NEW"}}));
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
    QVERIFY(installFiles(program.path(), {{folder, QStringLiteral("x"), "NEW"}}, QTime(9, 5, 7)).ok);
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
    QVERIFY(installFiles(program.path(), {{QString(), QStringLiteral("velmor-tarsila"), "NEW"}}, QTime(1, 2, 3)).ok);
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
}

void TestUpdateInstaller::failureRollsBack()
{
    QFETCH(QString, blocker);

    QTemporaryDir program;
    QVERIFY(writeFile(program.filePath(QStringLiteral("app.exe")), "OLD APP"));
    QVERIFY(writeFile(program.filePath(QStringLiteral("lib/core.dll")), "OLD CORE"));
    // replaced files, a new one beside them, and one in folders made for it
    QList<FetchedFile> files{{QString(), QStringLiteral("app.exe"), "NEW APP"},
                             {QStringLiteral("lib"), QStringLiteral("core.dll"), "NEW CORE"},
                             {QStringLiteral("lib"), QStringLiteral("extra.dll"), "NEW EXTRA"},
                             {QStringLiteral("plugins/deep"), QStringLiteral("new.dll"), "NEW PLUGIN"}};
    if (blocker == "dir") {
        QVERIFY(QDir().mkpath(program.filePath(QStringLiteral("data/settings.dat"))));
        files.append({QStringLiteral("data"), QStringLiteral("settings.dat"), "NEW DATA"});
    } else if (blocker == "file") {
        QVERIFY(writeFile(program.filePath(QStringLiteral("data")), "a file, not a folder"));
        files.append({QStringLiteral("data/sub"), QStringLiteral("x.dat"), "NEW DATA"});
    } else {
        QVERIFY(writeFile(program.filePath(QStringLiteral("readme.txt")), "OLD README"));
        QVERIFY(writeFile(program.filePath(QStringLiteral("_old_010203_readme.txt")), "left from before"));
        files.append({QString(), QStringLiteral("readme.txt"), "NEW README"});
    }
    const Entries before = filesBelow(program.path());

    const InstallResult result = installFiles(program.path(), files, QTime(1, 2, 3));
    QVERIFY(!result.ok);
    QVERIFY(!result.file.isEmpty());
    QVERIFY(!result.problem.isEmpty());
    QCOMPARE(filesBelow(program.path()), before); // wholly old again, folders too
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
