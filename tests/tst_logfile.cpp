#include "logfile.h"
#include "testhelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QLoggingCategory>
#include <QtTest>

// The log a support person reads: every message, with its time and level,
// in a file that is rotated with three old files kept.
Q_LOGGING_CATEGORY(qtXcb, "qt.qpa.xcb")

class TestLogFile : public QObject
{
    Q_OBJECT

private slots:
    void rotatesAndKeepsThree();
    void takesTheProgramsMessages();
    void controlCharactersWrittenOut();
    void floodKeepsTheHistory_data();
    void floodKeepsTheHistory();
};

void TestLogFile::rotatesAndKeepsThree()
{
    ScopedWorkDir dir;
    LogFile log(QStringLiteral("velmor-tarsila.log"), 10 * 1024, 3, 1 << 20);
    const QString line(200, QLatin1Char('x'));
    for (int i = 0; i < 300; ++i) // about six files' worth
        log.write(QtWarningMsg, QString::number(i) + QLatin1Char(' ') + line);

    QStringList files = QDir().entryList({QStringLiteral("velmor-tarsila.log*")}, QDir::Files, QDir::Name);
    QCOMPARE(files, (QStringList{"velmor-tarsila.log", "velmor-tarsila.log.1", "velmor-tarsila.log.2",
                                 "velmor-tarsila.log.3"}));
    for (const QString &file : files) {
        QVERIFY2(QFileInfo(file).size() <= 10 * 1024, qPrintable(file));
        QVERIFY2(isOwnerOnly(file), qPrintable(file));
    }
    // the newest message is in the current file, the oldest ones are gone
    QVERIFY(readFile(QStringLiteral("velmor-tarsila.log")).contains("299 x"));
    QVERIFY(!readFile(QStringLiteral("velmor-tarsila.log.3")).contains("\n0 x"));
}

void TestLogFile::takesTheProgramsMessages()
{
    ScopedWorkDir dir;
    LogFile log(QStringLiteral("velmor-tarsila.log"));
    LogFile::install(&log);
    qWarning("Račun nije ispisan: port COM1 se ne može otvoriti");
    qInfo("Račun ispisan: Blagajna");
    qDebug(" ");                      // says nothing: not written
    qCWarning(qtXcb) << "X error";   // Qt's own: kept at debug level
    LogFile::install(nullptr);
    qWarning("not logged");

    const QStringList lines = QString::fromUtf8(readFile(QStringLiteral("velmor-tarsila.log"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(2).contains(QStringLiteral(" DEBUG Qt (qt.qpa.xcb): X error")), qPrintable(lines.at(2)));
    const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} (WARNING|INFO) "));
    QVERIFY2(stamp.match(lines.at(0)).hasMatch() && lines.at(0).endsWith(QStringLiteral("se ne može otvoriti")), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(1).contains(QStringLiteral(" INFO Račun ispisan: Blagajna")), qPrintable(lines.at(1)));
}

void TestLogFile::controlCharactersWrittenOut()
{
    ScopedWorkDir dir;
    {
        LogFile log(QStringLiteral("velmor-tarsila.log"));
        log.write(QtWarningMsg, QStringLiteral("Račun\x1b[2J\r\a") + QChar(0) + QChar(0x202e) + QStringLiteral("x\ny")
                                  + QChar(0xD800) + QStringLiteral("\U0001F600"));
    }
    const QByteArray written = readFile(QStringLiteral("velmor-tarsila.log"));
    QVERIFY2(written.endsWith(QStringLiteral(" WARNING Račun\\x1b[2J\\r\\x07\\x00\\u202ex\n    y\\ud800\U0001F600\n").toUtf8()),
             written.constData());
}

void TestLogFile::floodKeepsTheHistory_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("length"); // of the path in each message
    QTest::addColumn<bool>("same");  // the same message each time, or a different one
    QTest::newRow("one line 20,000 times") << 20000 << 10 << true;
    QTest::newRow("20,000 different lines") << 20000 << 10 << false;
    QTest::newRow("700 reports with 100 KB paths") << 700 << 100 * 1024 << false;
}

void TestLogFile::floodKeepsTheHistory()
{
    QFETCH(int, count);
    QFETCH(int, length);
    QFETCH(bool, same);
    ScopedWorkDir dir;
    {
        LogFile log(QStringLiteral("velmor-tarsila.log"), 1 << 20, 3, 64 * 1024);
        log.write(QtInfoMsg, QStringLiteral("jutros: Račun ispisan"));
        const QString path(length, QLatin1Char('x'));
        for (int i = 0; i < count; ++i)
            log.write(QtWarningMsg, QStringLiteral("Izvještaj odbijen: %1 %2").arg(same ? 0 : i).arg(path));
    }
    QVERIFY(!QFile::exists(QStringLiteral("velmor-tarsila.log.1"))); // nothing rotated away
    QVERIFY(QFileInfo(QStringLiteral("velmor-tarsila.log")).size() < 80 * 1024);
    const QString written = QString::fromUtf8(readFile(QStringLiteral("velmor-tarsila.log")));
    QVERIFY(written.contains(QStringLiteral("jutros: Račun ispisan")));
    // what was left out is said, in a line of its own at the end
    QVERIFY2(written.endsWith(QStringLiteral(" u minuti\n")) || written.endsWith(QStringLiteral(" puta\n")),
             qPrintable(written.right(300)));
}

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
