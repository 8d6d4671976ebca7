#include "errorpage.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ErrorPage", text);
}

} // namespace

QString errorPageHtml(const QString &problem, const QUrl &url, const QTime &when, int retrySeconds)
{
    const QString address = url.toString().toHtmlEscaped();
    // The countdown is only shown here; the shell itself tries again.
    return QStringLiteral(
               "<!DOCTYPE html><html><head><meta charset='utf-8'><title>%1</title><style>"
               "body{font-family:sans-serif;margin:3em;color:#222}"
               "a.button{display:inline-block;padding:.6em 1.2em;background:#2a6;color:#fff;"
               "text-decoration:none;border-radius:4px}</style></head><body>"
               "<h1>%1</h1><p id='problem'>%2</p><p>%3 <code id='address'>%4</code></p><p>%5 %6</p>"
               "<p><a class='button' id='retry' href='%4'>%7</a></p>"
               "<p id='countdown'>%8</p>"
               "<script>var left=%9;setInterval(function(){if(left>0)left--;"
               "document.getElementById('seconds').textContent=left;},1000);</script>"
               "</body></html>")
        .arg(tr("Stranica se ne može učitati"), problem.toHtmlEscaped(), tr("Adresa:"), address,
             tr("Vrijeme:"), when.toString(QStringLiteral("HH:mm:ss")), tr("Pokušaj ponovno"),
             tr("Novi pokušaj za <span id='seconds'>%1</span> s.").arg(retrySeconds))
        .arg(retrySeconds);
}
