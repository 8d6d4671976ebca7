#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The bytes a receipt printer gets for an invoice. Most ESC/POS printers do
// not understand UTF-8: they print Croatian letters only from a code page
// (PC852, Windows-1250, ...) chosen on the printer with ESC t n.
struct PortBytes
{
    QByteArray bytes;
    int replaced = 0; // characters the code page lacks, sent as '?'
    QString problem;  // the encoding or code table is not one we know; nothing to send

    bool ok() const { return problem.isEmpty(); }
};

// The encodings `portEncoding` accepts, as written in the settings (letter
// case is ignored there).
QStringList portEncodings();

// `text`, zero characters included, encoded with `encoding` (empty: UTF-8), after
// the three bytes ESC t n when `codeTable` (0 to 255) is given.
PortBytes portBytes(const QString &text, const QString &encoding, const QString &codeTable);
