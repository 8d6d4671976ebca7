#include "shellwindow.h"

#include "failurebar.h"

#include "invoiceoutput.h"

#include <QApplication>
#include <QSet>
#include <QTest>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <map>

ShellPage *pageOf(QWidget *window)
{
    return window->findChild<ShellPage *>();
}

QString shellMarker(QWidget *window)
{
    return pageScript(pageOf(window),
                      QStringLiteral("(function(){var e=document.getElementById('IsShell');return e?e.getAttribute('value'):'none';})()"))
        .toString();
}

namespace {

// The invoices each window's page handed over, which may come after the
// load that brought them has been said to end.
std::map<const ShellPage *, std::unique_ptr<QSignalSpy>> &invoiceSpies()
{
    static std::map<const ShellPage *, std::unique_ptr<QSignalSpy>> spies;
    return spies;
}

// Whether every document of the service among the loads has handed over its
// invoice.
bool invoicesHandedOver(ShellPage *page, const QSignalSpy &loads, int count)
{
    const auto spy = invoiceSpies().find(page);
    if (spy == invoiceSpies().end())
        return true;
    QSet<int> handedOver;
    for (const QList<QVariant> &args : *spy->second)
        handedOver.insert(args.at(0).value<PageInvoice>().loadId);
    for (int i = 0; i < qMin(count, int(loads.count())); ++i) {
        const PageLoad load = loads.at(i).at(0).value<PageLoad>();
        if (load.end != PageLoad::Replaced && load.committed && load.fromService && !handedOver.contains(load.id))
            return false;
    }
    return true;
}

} // namespace

std::unique_ptr<MainWindow> makeMainWindow(const ShellContext &context, std::unique_ptr<QSignalSpy> &loads)
{
    auto window = std::make_unique<MainWindow>(context);
    ShellPage *page = pageOf(window.get());
    loads = std::make_unique<QSignalSpy>(page, &ShellPage::loadFinished);
    invoiceSpies()[page] = std::make_unique<QSignalSpy>(page, &ShellPage::invoiceTaken);
    QObject::connect(page, &QObject::destroyed, [page] { invoiceSpies().erase(page); });
    return window;
}

bool waitForOutput(QWidget *window, int timeoutMs)
{
    auto *output = window->findChild<InvoiceOutput *>();
    const QDeadlineTimer deadline(timeoutMs);
    while (output && output->busy() && !deadline.hasExpired())
        QTest::qWait(5);
    if (!output || !output->busy())
        return true;
    qWarning("Waited %d ms for the invoice output to end; it is still under way", timeoutMs);
    return false;
}

bool waitForLoads(QWidget *window, QSignalSpy &loads, int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (loads.count() < count && !deadline.hasExpired())
        loads.wait(int(qMax<qint64>(1, deadline.remainingTime())));
    ShellPage *page = pageOf(window);
    while (!invoicesHandedOver(page, loads, count) && !deadline.hasExpired())
        QTest::qWait(5);
    if (loads.count() >= count && invoicesHandedOver(page, loads, count))
        return waitForOutput(window, int(qMax<qint64>(1, deadline.remainingTime())) + 10000);
    qWarning("Waited %d ms for %d page load(s) and their invoices, %d finished; the view is at \"%s\", titled \"%s\"", timeoutMs,
             count, int(loads.count()), qPrintable(page->url().toString()), qPrintable(page->title()));
    return false;
}

bool openMainWindow(std::unique_ptr<MainWindow> &window, const ShellContext &context, bool *loadOk)
{
    std::unique_ptr<QSignalSpy> loads;
    window = makeMainWindow(context, loads);
    if (!waitForLoads(window.get(), *loads))
        return false;
    // the after-load hook ran before this spy saw the signal
    if (loadOk)
        *loadOk = loads->first().at(0).value<PageLoad>().ok();
    return true;
}

UpdateDialogCloser::UpdateDialogCloser()
{
    QObject::connect(&watch, &QTimer::timeout, [this] {
        QWidget *dialog = QApplication::activeModalWidget();
        auto *button = dialog ? dialog->findChild<QPushButton *>(QStringLiteral("pushButton")) : nullptr;
        auto *status = dialog ? dialog->findChild<QLabel *>(QStringLiteral("lblStatus")) : nullptr;
        if (!button || !status || !button->isEnabled())
            return;
        label = status->text();
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<MainWindow *>(widget) && widget->isVisible())
                windowVisible = true;
        }
        dialog->close();
    });
    watch.start(20);
}

QString failureText(QWidget *window)
{
    auto *bar = window->findChild<FailureBar *>(QStringLiteral("failureBar"));
    return bar && !bar->isHidden() ? bar->text() : QString();
}

bool settingsRoundTrip(QWidget *window, const char *button)
{
    auto *pressed = window->findChild<QPushButton *>(QLatin1String(button));
    auto *gear = window->findChild<QPushButton *>(QStringLiteral("btnSettings"));
    if (!pressed || !gear) {
        qWarning("no %s in the window", button);
        return false;
    }
    QTest::mouseClick(pressed, Qt::LeftButton);
    // The gear is off from the press until the dialog has closed.
    if (QTest::qWaitFor([gear] { return gear->isEnabled(); }, 20000))
        return true;
    qWarning("Postavke were still under way after 20 s");
    return false;
}
