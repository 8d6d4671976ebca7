#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

// A page of the web application as the shell meets it: the two invoice
// elements (left out when null) and the "#IsShell" marker. Values are set by
// script, so that any character, NUL included, reaches the element exactly.
// Like a page with error reporting of its own, it notes any script error in
// its title.
inline QByteArray invoicePage(const QString &text, const QString &html, bool withMarker = true)
{
    auto literal = [](const QString &value) {
        QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        // "</script>" in the value must not end the page's own script element.
        return array.mid(1, array.size() - 2).replace("</", "<\\/");
    };
    QByteArray page = "<!DOCTYPE html><html><head><meta charset='utf-8'><title>invoice</title>"
                      "<script>window.onerror = function(m) { document.title = 'script error: ' + m; };</script>"
                      "</head><body><p>invoice page</p>";
    if (!text.isNull())
        page += "<input type='hidden' id='PrintInvoiceData'>"
                "<script>document.getElementById('PrintInvoiceData').value = " + literal(text) + ";</script>";
    if (!html.isNull())
        page += "<input type='hidden' id='PrintInvoiceDataHTML'>"
                "<script>document.getElementById('PrintInvoiceDataHTML').value = " + literal(html) + ";</script>";
    if (withMarker)
        page += "<input type='hidden' id='IsShell' value='false'>";
    page += "</body></html>";
    return page;
}
