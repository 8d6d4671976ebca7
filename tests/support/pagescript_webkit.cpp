#include "pagescript.h"

#include "shellpage.h"

#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

QVariant pageScript(ShellPage *page, const QString &script, int)
{
    auto *view = qobject_cast<QWebView *>(page->view());
    return view->page()->mainFrame()->evaluateJavaScript(script);
}

QString pageText(ShellPage *page)
{
    return qobject_cast<QWebView *>(page->view())->page()->mainFrame()->toPlainText();
}

QString pageHtml(ShellPage *page)
{
    return qobject_cast<QWebView *>(page->view())->page()->mainFrame()->toHtml();
}

QWidget *inputWidget(ShellPage *page)
{
    return page->view();
}

int killRenderers()
{
    return 0; // QtWebKit renders in this process
}
