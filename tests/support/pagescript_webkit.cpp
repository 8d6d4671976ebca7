#include "pagescript.h"

#include "shellpage.h"

#include <QTest>
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

bool clickElement(ShellPage *page, const QString &selector)
{
    const QVariantList box =
        pageScript(page, QStringLiteral("(function () { var e = document.querySelector('%1'); if (!e) return [];"
                                        " var r = e.getBoundingClientRect();"
                                        " return [Math.round(r.left + r.width / 2), Math.round(r.top + r.height / 2)]; })()")
                             .arg(selector))
            .toList();
    if (box.size() != 2)
        return false;
    QWidget *target = page->view();
    if (!target)
        return false;
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(box.at(0).toInt(), box.at(1).toInt()));
    return true;
}

int killRenderers()
{
    return 0; // QtWebKit renders in this process
}
