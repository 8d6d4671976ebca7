#include "pagescript.h"

#include "shellpage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>

#include <signal.h>

QVariant pageScript(ShellPage *page, const QString &script, int timeoutMs)
{
    auto *view = qobject_cast<QWebEngineView *>(page->view());
    struct Answer
    {
        bool done = false;
        QVariant value;
    };
    auto answer = std::make_shared<Answer>();
    view->page()->runJavaScript(script, QWebEngineScript::MainWorld, [answer](const QVariant &value) {
        answer->value = value;
        answer->done = true;
    });
    const QDeadlineTimer deadline(timeoutMs);
    while (!answer->done && !deadline.hasExpired())
        QTest::qWait(5);
    if (!answer->done)
        qWarning("The page did not answer a script within %d ms: %s", timeoutMs, qPrintable(script.left(80)));
    return answer->value;
}

QString pageText(ShellPage *page)
{
    return pageScript(page, QStringLiteral("document.body ? document.body.innerText : ''")).toString();
}

QString pageHtml(ShellPage *page)
{
    return pageScript(page, QStringLiteral("document.documentElement.outerHTML")).toString();
}

QWidget *inputWidget(ShellPage *page)
{
    return page->view()->focusProxy();
}

int killRenderers()
{
    // A renderer is a child the zygote forked (so it still reads as one),
    // below this process: tests running beside this one have their own.
    const auto parentOf = [](const QString &pid) {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray line = file.readAll();
        return QString::fromLatin1(line.mid(line.lastIndexOf(')') + 2).split(' ').value(1)); // state, parent, ...
    };
    const auto isZygote = [](const QString &pid) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("--type=zygote");
    };
    const QString self = QString::number(QCoreApplication::applicationPid());
    const auto isOurs = [&](QString pid) {
        for (int depth = 0; depth < 4 && !pid.isEmpty() && pid != QLatin1String("1"); ++depth) {
            pid = parentOf(pid);
            if (pid == self)
                return true;
        }
        return false;
    };
    int killed = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() > 0 && isZygote(pid) && isZygote(parentOf(pid)) && isOurs(pid))
            killed += ::kill(pid.toInt(), SIGKILL) == 0;
    }
    return killed;
}
