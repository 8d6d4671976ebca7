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
    // in this process's group.
    const auto stat = [](const QString &pid) {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            return QList<QByteArray>();
        const QByteArray line = file.readAll();
        return line.mid(line.lastIndexOf(')') + 2).split(' '); // state, parent, group, ...
    };
    const auto isZygote = [](const QString &pid) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("--type=zygote");
    };
    const QByteArray group = stat(QString::number(QCoreApplication::applicationPid())).value(2);
    int killed = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QList<QByteArray> fields = stat(pid);
        if (pid.toInt() > 0 && fields.value(2) == group && isZygote(pid)
            && isZygote(QString::fromLatin1(fields.value(1))))
            killed += ::kill(pid.toInt(), SIGKILL) == 0;
    }
    return killed;
}
