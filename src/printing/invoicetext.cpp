#include "invoicetext.h"

#include <QStringList>
#include <QTextDocument>

QString invoicePlainText(const QString &html)
{
    // QTextDocument reads the markup without running or fetching anything.
    QTextDocument document;
    document.setHtml(html);
    QString text = document.toPlainText();
    text.remove(QChar::ObjectReplacementCharacter); // images
    text.replace(QChar::Nbsp, QLatin1Char(' '));
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString invoiceAsHtml(const QString &text)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
                          "<pre style=\"font-family:'DejaVu Sans Mono',monospace;font-size:10pt;margin:0\">%1</pre>"
                          "</body></html>")
        .arg(text.toHtmlEscaped());
}

QString invoiceFor(const QString &text, bool isHtml, bool toHtml)
{
    if (isHtml == toHtml)
        return text;
    return toHtml ? invoiceAsHtml(text) : invoicePlainText(text);
}

QString invoiceTitle(const QString &text, bool isHtml)
{
    const QString plain = isHtml ? invoicePlainText(text) : text;
    for (const QString &line : plain.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            return trimmed;
    }
    return QString();
}
