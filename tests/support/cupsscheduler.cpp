#include "cupsscheduler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>

namespace {

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool writeText(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

} // namespace

CupsScheduler::~CupsScheduler()
{
    stop();
}

bool CupsScheduler::start(const QStringList &printers, const QString &defaultPrinter)
{
    if (!dir.isValid())
        return false;
    port = freePort();
    const QString root = dir.path();
    for (const char *sub : {"spool", "cache", "state", "tmp", "log"})
        QDir(root).mkpath(QLatin1String(sub));

    const QString conf = QStringLiteral(
        "Listen 127.0.0.1:%1\n"
        "LogLevel warn\n"
        "PreserveJobFiles Yes\n"
        "PreserveJobHistory Yes\n"
        "MaxJobs 0\n"
        "WebInterface No\n"
        "Browsing Off\n"
        "DefaultAuthType None\n"
        "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
        "<Policy default>\n  JobPrivateAccess all\n  JobPrivateValues none\n"
        "  SubscriptionPrivateAccess all\n  SubscriptionPrivateValues none\n"
        "  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n").arg(port);
    const QString files = QStringLiteral(
        "ServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\nTempDir %1/tmp\n"
        "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
        "FileDevice Yes\nSandboxing relaxed\n").arg(root);
    if (!writeText(root + QStringLiteral("/cupsd.conf"), conf)
        || !writeText(root + QStringLiteral("/cups-files.conf"), files))
        return false;

    qputenv("CUPS_SERVER", server().toLatin1());
    if (!launch())
        return false;

    for (const QString &printer : printers) {
        if (!addPrinter(printer))
            return false;
    }
    if (!defaultPrinter.isEmpty() && !run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), defaultPrinter}))
        return false;
    return true;
}

bool CupsScheduler::launch()
{
    const QString root = dir.path();
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // It goes with the test even when the test dies.
    daemon.start(QStringLiteral("setpriv"), {QStringLiteral("--pdeathsig"), QStringLiteral("KILL"), QStringLiteral("cupsd"),
                                             QStringLiteral("-f"), QStringLiteral("-c"), root + QStringLiteral("/cupsd.conf"),
                                             QStringLiteral("-s"), root + QStringLiteral("/cups-files.conf")});
    if (!daemon.waitForStarted(5000)) {
        qWarning("cupsd did not start: %s", qPrintable(daemon.errorString()));
        return false;
    }

    QDeadlineTimer deadline(10000);
    QString status;
    while (!run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &status) || !status.contains(QLatin1String("is running"))) {
        if (deadline.hasExpired() || daemon.state() != QProcess::Running) {
            qWarning("cupsd on port %d is not answering (lpstat -r said \"%s\"); its log:\n%s", port,
                     qPrintable(status.trimmed()), qPrintable(errorLog()));
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

bool CupsScheduler::restart()
{
    stop();
    return launch();
}

bool CupsScheduler::command(const QString &program, const QStringList &arguments) const
{
    return run(program, arguments);
}

bool CupsScheduler::addPrinter(const QString &name)
{
    // A raw queue that prints into /dev/null; the scheduler keeps each job's
    // file (PreserveJobFiles), so the test reads back what was printed.
    return run(QStringLiteral("lpadmin"), {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                                           QStringLiteral("file:///dev/null")});
}

bool CupsScheduler::removePrinter(const QString &name)
{
    return run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name});
}

void CupsScheduler::stop()
{
    if (daemon.state() != QProcess::NotRunning) {
        daemon.terminate();
        if (!daemon.waitForFinished(5000))
            daemon.kill();
        daemon.waitForFinished(2000);
    }
}

bool CupsScheduler::run(const QString &program, const QStringList &arguments, QString *output) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CUPS_SERVER"), server());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        qWarning("%s %s did not finish within 5 s: %s", qPrintable(program), qPrintable(arguments.join(QLatin1Char(' '))),
                 qPrintable(process.errorString()));
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString CupsScheduler::errorLog() const
{
    QFile log(dir.path() + QStringLiteral("/log/error_log"));
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no error log)");
    return QString::fromUtf8(log.readAll().right(2000));
}

bool CupsScheduler::waitForJobs(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (jobs().size() < count) {
        if (deadline.hasExpired()) {
            QString listing;
            run(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o")}, &listing);
            qWarning("Waited %d ms for %d print job(s); lpstat listed:\n%s\ncupsd's log:\n%s", timeoutMs, count,
                     qPrintable(listing), qPrintable(errorLog()));
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return true;
}

QList<CupsScheduler::Job> CupsScheduler::jobs() const
{
    QList<Job> result;
    QString listing;
    if (!run(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o")}, &listing))
        return result;
    static const QRegularExpression line(QStringLiteral("^(\\S+)-(\\d+)\\s"), QRegularExpression::MultilineOption);
    auto it = line.globalMatch(listing);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        Job job;
        job.printer = match.captured(1);
        job.id = match.captured(2).toInt();
        job.documentPath = QStringLiteral("%1/d%2-001").arg(spoolDirectory()).arg(job.id, 5, 10, QLatin1Char('0'));
        result.append(job);
    }
    std::sort(result.begin(), result.end(), [](const Job &a, const Job &b) { return a.id < b.id; });
    return result;
}

QString CupsScheduler::text(const Job &job, bool layout)
{
    QProcess process;
    QStringList arguments{QStringLiteral("-enc"), QStringLiteral("UTF-8"), job.documentPath, QStringLiteral("-")};
    if (layout)
        arguments.prepend(QStringLiteral("-layout"));
    process.start(QStringLiteral("pdftotext"), arguments);
    if (!process.waitForFinished(5000)) {
        qWarning("pdftotext did not finish within 5 s on %s", qPrintable(job.documentPath));
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

namespace {

// Each printed word's left edge, by pdftotext.
QList<std::pair<QString, double>> wordsOf(const CupsScheduler::Job &job)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), job.documentPath, QStringLiteral("-")});
    if (!process.waitForFinished(5000)) {
        qWarning("pdftotext -bbox did not finish within 5 s on %s", qPrintable(job.documentPath));
        return {};
    }
    static const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    QList<std::pair<QString, double>> words;
    auto it = word.globalMatch(QString::fromUtf8(process.readAllStandardOutput()));
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        words.append({match.captured(2), match.captured(1).toDouble()});
    }
    return words;
}

} // namespace

double CupsScheduler::leftmostText(const Job &job)
{
    double leftmost = -1;
    for (const auto &word : wordsOf(job)) {
        if (leftmost < 0 || word.second < leftmost)
            leftmost = word.second;
    }
    return leftmost;
}

double CupsScheduler::textLeft(const Job &job, const QString &text)
{
    for (const auto &word : wordsOf(job)) {
        if (word.first == text)
            return word.second;
    }
    return -1;
}

QSizeF CupsScheduler::pageSize(const Job &job, int *pages)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {job.documentPath});
    if (!process.waitForFinished(5000)) {
        qWarning("pdfinfo did not finish within 5 s on %s", qPrintable(job.documentPath));
        return QSizeF();
    }
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression size(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
    static const QRegularExpression count(QStringLiteral("Pages:\\s+([0-9]+)"));
    if (pages)
        *pages = count.match(info).captured(1).toInt();
    const QRegularExpressionMatch match = size.match(info);
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()) : QSizeF();
}
