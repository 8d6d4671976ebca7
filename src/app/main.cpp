#include "deployment.h"
#include "journal.h"
#include "mainwindow.h"

#include <QApplication>
#include <QTextStream>

#include <cstring>

namespace {

// `--journal [N]`: the newest N journal entries for a terminal; no window,
// no display needed.
int listJournal(int argc, char *argv[], int at)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream errors(stderr);
    out.setCodec("UTF-8");
    errors.setCodec("UTF-8");
    int count = 20;
    if (at + 1 < argc) {
        bool number = false;
        count = QString::fromLocal8Bit(argv[at + 1]).toInt(&number);
        if (!number || count < 1) {
            errors << "--journal N: N mora biti pozitivan cijeli broj\n";
            return 2;
        }
    }
    return writeJournalListing(deploymentContext().journalFile, count, out, errors);
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--journal") == 0)
            return listJournal(argc, argv, i);
    }

    QApplication app(argc, argv);
    MainWindow window(deploymentContext());
    window.showMaximized();
    return app.exec();
}
