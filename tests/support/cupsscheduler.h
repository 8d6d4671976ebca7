#pragma once

#include <QList>
#include <QProcess>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private CUPS scheduler on its own port and directories, with raw
// queues whose job files are kept, so that a test can read back what was
// printed. Starting it points this process's CUPS clients (Qt's print
// support among them) at it, so start it before anything asks for printers.
class CupsScheduler
{
public:
    struct Job
    {
        QString printer;
        int id = 0;
        QString documentPath; // the kept job file
    };

    CupsScheduler() = default;
    ~CupsScheduler();

    bool start(const QStringList &printers, const QString &defaultPrinter);
    void stop();
    // Starts it again on the same port, with the queues it had.
    bool restart();

    // Queues may come and go while the scheduler runs.
    bool addPrinter(const QString &name);
    bool removePrinter(const QString &name);
    // Runs a CUPS command (cupsdisable, cupsreject, ...) against this scheduler.
    bool command(const QString &program, const QStringList &arguments) const;

    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
    QList<Job> jobs() const;
    // Waits until the scheduler holds `count` jobs in all; when it does not
    // within `timeoutMs`, says what it listed and returns false.
    bool waitForJobs(int count, int timeoutMs = 10000) const;
    QString spoolDirectory() const { return dir.path() + QStringLiteral("/spool"); }
    // The text of a kept job file, by pdftotext; with `layout`, laid out as
    // on the page (lines and columns kept).
    static QString text(const Job &job, bool layout = false);
    // How far from the page's left edge the printed text starts, in points;
    // or where `word` starts.
    static double leftmostText(const Job &job);
    static double textLeft(const Job &job, const QString &word);
    // The first page's size in points and the number of pages, by pdfinfo;
    // empty and 0 when it cannot be read.
    static QSizeF pageSize(const Job &job, int *pages = nullptr);

private:
    bool launch();
    // Runs a CUPS command against this scheduler; false when it fails or takes
    // longer than a few seconds, which it reports.
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr) const;
    QString errorLog() const;

    QTemporaryDir dir;
    QProcess daemon;
    int port = 0;
};
