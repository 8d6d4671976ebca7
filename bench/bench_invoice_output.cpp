// How long an invoice takes from a finished page load to the device: the last
// byte read from a pseudo-terminal in port mode, the job file in the CUPS
// spool in printer mode. Each figure is the median over 50 invoices, with the
// time of the page load alone (same page, nothing to output) subtracted in
// printer mode. Port mode is timed from the page's arrival, with the journal
// and without it, for what the journal adds.

#include "cupsscheduler.h"
#include "pseudoterminal.h"
#include "shellwindow.h"
#include "testhelpers.h"
#include "testserver.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

const int rounds = 50;

QByteArray receipt()
{
    QByteArray text;
    for (int line = 0; text.size() < 2000; ++line)
        text += "Artikl " + QByteArray::number(line) + " - Čokolada        1 x 1,99\n";
    return text;
}

QByteArray page(const QByteArray &text, const QByteArray &html)
{
    return "<html><head><meta charset='utf-8'></head><body><textarea id='PrintInvoiceData'>" + text
           + "</textarea><textarea id='PrintInvoiceDataHTML'>" + QString::fromUtf8(html).toHtmlEscaped().toUtf8()
           + "</textarea><input type='hidden' id='IsShell'></body></html>";
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int spoolFiles(const QString &spool)
{
    return QDir(spool).entryList({QStringLiteral("d*")}, QDir::Files).size();
}

// Loads `path` `rounds` times; `done` says when the output has arrived.
std::vector<double> measure(ShellPage *view, const TestServer &server, const QByteArray &path,
                            const std::function<bool()> &done)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        view->load(QUrl(server.url(QString::fromLatin1(path) + QStringLiteral("?n=%1").arg(i))));
        while (!done())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return times;
}

// Loads `path` `rounds` times, timing from the moment the page has loaded
// and its invoice been taken until `done` says the output has arrived.
std::vector<double> fromLoadEnd(ShellPage *view, const TestServer &server, const QByteArray &path,
                                const std::function<bool()> &done)
{
    QElapsedTimer timer;
    const QMetaObject::Connection ended =
        QObject::connect(view, &ShellPage::loadFinished, [&timer, path](const PageLoad &load) {
            if (load.url.path() == QString::fromLatin1(path))
                timer.start();
        });
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        timer.invalidate();
        view->load(QUrl(server.url(QString::fromLatin1(path) + QStringLiteral("?j=%1").arg(i))));
        while (!done())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        times.push_back(timer.isValid() ? timer.nsecsElapsed() / 1e6 : -1);
    }
    QObject::disconnect(ended);
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    CupsScheduler cups;
    if (!cups.start({QStringLiteral("Blagajna")}, QStringLiteral("Blagajna"))) {
        std::fprintf(stderr, "cannot start cupsd\n");
        return 1;
    }
    TestServer server;
    if (!server.start())
        return 1;
    const ShellContext context = testContext(server.origin());
    const QByteArray text = receipt();
    const QByteArray html = "<html><body><pre>" + text + "</pre></body></html>";
    server.html("/accounts/login", "<html><body>start</body></html>");
    server.html("/invoice", page(text, html));
    server.html("/empty", "<html><body><input type='hidden' id='IsShell'></body></html>");
    server.content("/updates/checkForUpdates", R"({"version": 0})", "application/json");

    ScopedWorkDir workDir;
    PseudoTerminal pty;

    // port mode, with the journal and without it, each in a window of its
    // own that first warms up; the page load alone is measured in each.
    writeSettingsFile("[General]\nuseSerialPort=true\nprinterPort=" + pty.slavePath().toLatin1() + "\n");
    std::unique_ptr<QSignalSpy> loads;
    QByteArray received;
    auto arrived = [&] {
        received += pty.read(0);
        if (received.size() < text.size())
            return false;
        received.remove(0, text.size());
        return true;
    };
    double loadOnly = 0;
    auto portMode = [&](const ShellContext &shell) {
        auto window = makeMainWindow(shell, loads);
        auto *view = pageOf(window.get());
        waitForLoads(window.get(), *loads);
        int loadsDone = 0;
        QObject::connect(view, &ShellPage::loadFinished, [&loadsDone] { ++loadsDone; });
        int loadsSeen = 0;
        auto loaded = [&] {
            if (loadsDone == loadsSeen)
                return false;
            loadsSeen = loadsDone;
            return true;
        };
        measure(view, server, "/invoice", arrived);
        loadsSeen = loadsDone; // the warm-up's loads are over
        loadOnly = median(measure(view, server, "/empty", loaded));
        return median(fromLoadEnd(view, server, "/invoice", arrived));
    };
    const double portFromLoadEnd = portMode(context);
    ShellContext unjournalled = context;
    unjournalled.journalFile.clear();
    const double portFromLoadEndWithoutJournal = portMode(unjournalled);

    // printer mode
    const QString spool = cups.spoolDirectory();
    writeSettingsFile("[General]\nuseSerialPort=false\nprinterPort=Blagajna\n");
    auto window = makeMainWindow(context, loads);
    auto *view = pageOf(window.get());
    waitForLoads(window.get(), *loads);
    int jobsSeen = spoolFiles(spool);
    const std::vector<double> printer = measure(view, server, "/invoice", [&] {
        const int now = spoolFiles(spool);
        if (now <= jobsSeen)
            return false;
        jobsSeen = now;
        return true;
    });

    const double wire = text.size() / (9600.0 / 11.0);
    std::printf("invoice output, median of %d, page load alone (%.1f ms) subtracted:\n", rounds, loadOnly);
    // The page load's own time varies by a few ms between windows, more than
    // the output costs: port mode is timed from the page's arrival instead.
    std::printf("  port mode (%d bytes to a pty), from the page's arrival to the last byte: %.3f ms with the"
                " journal, %.3f ms without (the journal adds %.3f ms)\n",
                int(text.size()), portFromLoadEnd, portFromLoadEndWithoutJournal,
                portFromLoadEnd - portFromLoadEndWithoutJournal);
    std::printf("  printer mode (job in CUPS spool): %.1f ms\n", median(printer) - loadOnly);
    std::printf("  wire time of %d bytes at 9600 baud 8N2 (11 bits a byte): %.0f ms\n", int(text.size()), wire * 1000);
    return 0;
}

