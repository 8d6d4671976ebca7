#include "portencoding.h"

#include <QTextCodec>

namespace {

struct Encoding
{
    const char *name;  // as the settings write it
    const char *codec; // as Qt knows it
};

const Encoding encodings[] = {
    {"UTF-8", "UTF-8"},          {"CP852", "IBM852"}, {"CP1250", "windows-1250"}, {"ISO-8859-2", "ISO-8859-2"},
    {"CP437", "IBM437"},         {"CP850", "IBM850"}, {"CP858", "IBM00858"},
};

} // namespace

QStringList portEncodings()
{
    QStringList names;
    for (const Encoding &encoding : encodings)
        names.append(QLatin1String(encoding.name));
    return names;
}

PortBytes portBytes(const QString &text, const QString &encoding, const QString &codeTable)
{
    PortBytes result;
    const QString wanted = encoding.trimmed();
    QTextCodec *codec = nullptr;
    for (const Encoding &known : encodings) {
        if (wanted.isEmpty() || wanted.compare(QLatin1String(known.name), Qt::CaseInsensitive) == 0) {
            codec = QTextCodec::codecForName(known.codec);
            break;
        }
    }
    if (!codec) {
        result.problem = QStringLiteral("nepoznata kodna stranica \"%1\"").arg(encoding);
        return result;
    }

    const QString table = codeTable.trimmed();
    bool number = true;
    const int n = table.isEmpty() ? -1 : table.toInt(&number, 10);
    if (!table.isEmpty() && (!number || n < 0 || n > 255)) {
        result.problem = QStringLiteral("neispravna kodna tablica \"%1\" (mora biti broj od 0 do 255)").arg(codeTable);
        return result;
    }

    // Every character, zero included: encoders end "bold off" (ESC E 0) and
    // a partial cut (GS V 1 in some forms) with a zero byte.
    const QString &sent = text;
    const QByteArray encoded = codec->fromUnicode(sent);
    // The code page writes '?' for what it lacks: count those beyond the text's own.
    if (codec->mibEnum() != 106) // UTF-8 lacks nothing
        result.replaced = qMax(0, int(encoded.count('?')) - int(sent.count(QLatin1Char('?'))));
    if (n >= 0)
        result.bytes = QByteArray("\x1b\x74") + char(n);
    result.bytes += encoded;
    return result;
}
