#pragma once

#include <QString>

// Text a page wrote (an invoice, an address) goes to a terminal and to the
// log; there its control characters could move the cursor, clear the screen,
// ring the bell or forge a line of their own. These write them out instead.

// One field of a line for a terminal: backslash as \\, tab \t, CR \r, LF
// \n, any other control character \xNN, and a format character (U+202E and
// the like, which reorder what is shown) \uNNNN.
QString escapedField(const QString &text);

// A log message: the same, except that backslashes and tabs stay as they
// are and each LF starts an indented continuation line.
QString escapedLogText(const QString &text);
