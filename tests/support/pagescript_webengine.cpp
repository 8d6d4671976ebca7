#include "pagescript.h"

#include "shellpage.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>

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
