#include "textescape.h"

namespace {

QString escaped(const QString &text, bool field)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (c == QLatin1Char('\\')) {
            out += field ? QStringLiteral("\\\\") : QStringLiteral("\\");
        } else if (c == QLatin1Char('\t')) {
            out += field ? QStringLiteral("\\t") : QStringLiteral("\t");
        } else if (c == QLatin1Char('\n')) {
            out += field ? QStringLiteral("\\n") : QStringLiteral("\n    ");
        } else if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\\r");
        } else if (c.category() == QChar::Other_Control) {
            out += QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
        } else if (c.category() == QChar::Other_Format) {
            out += QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QString escapedField(const QString &text)
{
    return escaped(text, true);
}

QString escapedLogText(const QString &text)
{
    return escaped(text, false);
}
