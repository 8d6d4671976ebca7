// Time from process start to the demo service's invoice page loaded in the
// shell, and the peak memory by then; bench_bareview gives the same figures
// for a bare web view, for comparison. The demo service must be running.
// Prints "<epoch ms when loaded> <peak KiB>": bench/run takes the time of the
// launch from it, with a finer clock than the process start time gives.

#include "benchhelpers.h"
#include "deployment.h"
#include "engine.h"
#include "mainwindow.h"
#include "shellpage.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QTemporaryDir workDir;
    if (!workDir.isValid() || chdir(workDir.path().toLocal8Bit().constData()) != 0)
        return 1;
    // The invoice page, its invoice to a device that takes anything at once.
    QFile settings(QStringLiteral("settings.ini"));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("[General]\nmainUrl=https://localhost:8443/invoices\nuseSerialPort=true\nprinterPort=/dev/null\n");
    settings.close();

    prepareEngine();
    QApplication app(argc, argv);
    QTimer::singleShot(20000, [] {
        std::fprintf(stderr, "the page did not load within 20 s\n");
        std::_Exit(1);
    });
    ShellContext context = deploymentContext();
    context.answerReader = QStringLiteral(ANSWER_READER);
    MainWindow window(context);
    QObject::connect(window.findChild<ShellPage *>(), &ShellPage::loadFinished, [] {
        std::printf("%lld %ld\n", QDateTime::currentMSecsSinceEpoch(), peakRssKiBWithChildren());
        std::fflush(stdout);
        std::_Exit(0);
    });
    window.showMaximized();
    return app.exec();
}
