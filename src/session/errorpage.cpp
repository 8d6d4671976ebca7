#include "errorpage.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ErrorPage", text);
}

// For text and for a double-quoted attribute alike.
QString escaped(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

} // namespace

QString errorPageHtml(const QString &problem, const QUrl &url, const QTime &when, int retrySeconds, const QUrl &backTo)
{
    // Every part is escaped and put in place in one pass, so that what one
    // part holds (a "%2F" in an address) is never taken for a place of
    // another.
    const QString address = escaped(url.toString(QUrl::RemoveUserInfo));
    const QString back = backTo.isValid()
                             ? QStringLiteral(" <a class=\"button\" id=\"back\" href=\"%1\">%2</a>")
                                   .arg(escaped(backTo.toString(QUrl::RemoveUserInfo)), tr("Natrag na servis"))
                             : QString();
    // The countdown is only shown here; the shell itself tries again.
    const QString countdown =
        retrySeconds > 0
            ? QStringLiteral("<p id=\"countdown\">%1</p><script>var left=%2;setInterval(function(){if(left>0)left--;"
                             "document.getElementById('seconds').textContent=left;},1000);</script>")
                  .arg(tr("Novi pokušaj za <span id=\"seconds\">%1</span> s.").arg(retrySeconds))
                  .arg(retrySeconds)
            : QString();
    return QStringLiteral(
               "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title><style>"
               "body{font-family:sans-serif;margin:3em;color:#222}"
               "a.button{display:inline-block;padding:.6em 1.2em;background:#2a6;color:#fff;"
               "text-decoration:none;border-radius:4px;margin-right:.5em}</style></head><body>"
               "<h1>%1</h1><p id=\"problem\">%2</p><p>%3 <code id=\"address\">%4</code></p><p>%5 %6</p>"
               "<p><a class=\"button\" id=\"retry\" href=\"%4\">%7</a>%8</p>%9"
               "</body></html>")
        .arg(tr("Stranica se ne može učitati"), escaped(problem), tr("Adresa:"), address, tr("Vrijeme:"),
             when.toString(QStringLiteral("HH:mm:ss")), tr("Pokušaj ponovno"), back, countdown);
}
