#include "updateanswer.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cmath>

// Reading the update answer, and what makes an update unacceptable.
class TestUpdateAnswer : public QObject
{
    Q_OBJECT

private slots:
    void evaluates_data();
    void evaluates();
    void endlessAnswerAborted_data();
    void endlessAnswerAborted();
    void cutAtNul();
    void fileNames_data();
    void fileNames();
    void refusal_data();
    void refusal();
};

void TestUpdateAnswer::evaluates_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<double>("version"); // NaN: not a number
    QTest::addColumn<bool>("hasFileList");
    QTest::addColumn<QStringList>("files"); // "FilePath|DownloadURL|SHA256"

    QTest::newRow("plain JSON")
        << R"({"version": 3, "files": [{"FilePath": "bin", "DownloadURL": "https://s/a.dll"},
                                      {"FilePath": "", "DownloadURL": "https://s/b.exe"}]})"
        << 3.0 << true << QStringList{"bin|https://s/a.dll|", "|https://s/b.exe|"};
    QTest::newRow("version as a numeric string") << R"({"version": "7.5", "files": []})" << 7.5 << true
                                                 << QStringList();
    QTest::newRow("version missing reads 0") << R"({"files": []})" << 0.0 << true << QStringList();
    QTest::newRow("version not numeric") << R"({"version": "new"})" << qQNaN() << false << QStringList();
    QTest::newRow("2.10 is the number 2.1") << R"({"version": 2.10})" << 2.1 << false << QStringList();
    QTest::newRow("files not an array") << R"({"version": 4, "files": {"0": {"DownloadURL": "x"}}})" << 4.0
                                        << false << QStringList();
    QTest::newRow("entries without DownloadURL left out")
        << R"({"version": 2, "files": [{"FilePath": "a"}, {"FilePath": "b", "DownloadURL": ""},
                                      {"DownloadURL": "https://s/c"}, 5, "text", null,
                                      {"FilePath": "d", "DownloadURL": null}]})"
        << 2.0 << true << QStringList{"|https://s/c|"};
    QTest::newRow("optional digest")
        << R"({"version": 2, "files": [{"DownloadURL": "https://s/c", "SHA256": "ABCdef"}]})" << 2.0 << true
        << QStringList{"|https://s/c|ABCdef"};
    QTest::newRow("any expression giving such an object")
        << R"((function(){ return {version: 1 + 1, files: [{DownloadURL: "https://s/" + "x"}]}; })())" << 2.0
        << true << QStringList{"|https://s/x|"};
    QTest::newRow("not a script at all") << "<html>502 Bad Gateway</html>" << 0.0 << false << QStringList();
    QTest::newRow("empty answer") << "" << 0.0 << false << QStringList();
    QTest::newRow("a thrown error") << "(function(){ throw 'x'; })()" << 0.0 << false << QStringList();
}

void TestUpdateAnswer::evaluates()
{
    QFETCH(QString, answer);
    QFETCH(double, version);
    QFETCH(bool, hasFileList);
    QFETCH(QStringList, files);

    const UpdateAnswer parsed = evaluateUpdateAnswer(answer);
    QVERIFY(!parsed.aborted);
    if (std::isnan(version))
        QVERIFY(std::isnan(parsed.version));
    else
        QCOMPARE(parsed.version, version);
    QCOMPARE(parsed.hasFileList, hasFileList);
    QStringList got;
    for (const UpdateFile &file : parsed.files)
        got << file.filePath + QLatin1Char('|') + file.downloadUrl + QLatin1Char('|') + file.sha256;
    QCOMPARE(got, files);
}

void TestUpdateAnswer::endlessAnswerAborted_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("endless loop inside") << "(function(){ while (true) {} })()";
    QTest::newRow("breaking out of the parentheses") << "{version: 9}); for (;;) {} ({version: 9}";
}

void TestUpdateAnswer::endlessAnswerAborted()
{
    QFETCH(QString, answer);
    QElapsedTimer timer;
    timer.start();
    const UpdateAnswer parsed = evaluateUpdateAnswer(answer, 300);
    QVERIFY(parsed.aborted);
    QCOMPARE(parsed.version, 0.0);
    QVERIFY(parsed.files.isEmpty());
    QVERIFY2(timer.elapsed() < 5000, "the deadline did not stop the script");
}

void TestUpdateAnswer::cutAtNul()
{
    const QByteArray body("{\"version\": 5}\0{ this would not parse", 38);
    QCOMPARE(answerText(body), QStringLiteral("{\"version\": 5}"));
    QCOMPARE(evaluateUpdateAnswer(answerText(body)).version, 5.0);
    QCOMPARE(answerText("Ra\xc4\x8dun"), QStringLiteral("Račun"));
}

void TestUpdateAnswer::fileNames_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << "https://s/files/app.exe" << "app.exe";
    QTest::newRow("query ignored") << "https://s/files/app.exe?token=a/b.dll" << "app.exe";
    QTest::newRow("fragment ignored") << "https://s/files/app.exe#x/y" << "app.exe";
    QTest::newRow("decoded") << "https://s/files/my%20tool.exe" << "my tool.exe";
    QTest::newRow("encoded slash counts as one") << "https://s/files/a%2Fb.dll" << "b.dll";
    QTest::newRow("folder only") << "https://s/files/" << "";
}

void TestUpdateAnswer::fileNames()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(fileNameOf(url), name);
}

void TestUpdateAnswer::refusal_data()
{
    QTest::addColumn<QString>("filePath");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<bool>("refused");

    QTest::newRow("beside the program") << "" << "https://s/a.exe" << "" << false;
    QTest::newRow("in a subfolder") << "plugins/platforms" << "https://s/a.dll" << "" << false;
    QTest::newRow("dots inside a name are fine") << "my..dir" << "https://s/a..b" << "" << false;
    QTest::newRow("absolute folder") << "/usr/bin" << "https://s/a" << "" << true;
    QTest::newRow("backslash-rooted folder") << "\\Windows" << "https://s/a" << "" << true;
    QTest::newRow("drive folder") << "C:/Windows" << "https://s/a" << "" << true;
    QTest::newRow("climbing out") << "../.." << "https://s/a" << "" << true;
    QTest::newRow("climbing out in the middle") << "plugins/../../x" << "https://s/a" << "" << true;
    QTest::newRow("climbing out with backslashes") << "plugins\\..\\.." << "https://s/a" << "" << true;
    QTest::newRow("no file name") << "" << "https://s/files/" << "" << true;
    QTest::newRow("dot name") << "" << "https://s/files/." << "" << true;
    QTest::newRow("dot-dot name, encoded") << "" << "https://s/files/%2E%2E" << "" << true;
    QTest::newRow("backslash in the name") << "" << "https://s/files/..%5C..%5Cx" << "" << true;
    QTest::newRow("digest of the wrong shape") << "" << "https://s/a" << "abc" << true;
    QTest::newRow("digest in capitals") << "" << "https://s/a" << QString(64, QLatin1Char('A')) << false;
}

void TestUpdateAnswer::refusal()
{
    QFETCH(QString, filePath);
    QFETCH(QString, url);
    QFETCH(QString, sha256);
    QFETCH(bool, refused);

    const QList<UpdateFile> files{{QStringLiteral("docs"), QStringLiteral("https://s/readme.txt"), QString()},
                                  {filePath, url, sha256}};
    QCOMPARE(!refusalReason(files).isEmpty(), refused);
}

QTEST_GUILESS_MAIN(TestUpdateAnswer)
#include "tst_updateanswer.moc"
