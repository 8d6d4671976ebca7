#pragma once

#include <QString>

// An invoice comes as HTML (for a printer) or as plain text (for a receipt
// printer's port); a reprint or a retry may send it to the other kind of
// output, which must still get a receipt, not markup or one long paragraph.

// The text lines an HTML invoice shows, for a port.
QString invoicePlainText(const QString &html);

// A plain-text invoice as HTML that keeps its lines and columns (monospace).
QString invoiceAsHtml(const QString &text);

// The invoice as `toHtml` output needs it, converted when it is of the other kind.
QString invoiceFor(const QString &text, bool isHtml, bool toHtml);

// The invoice's first line with text, for lists and messages.
QString invoiceTitle(const QString &text, bool isHtml);
