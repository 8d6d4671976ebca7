#include "textescape.h"

namespace {

QString escaped(const QString &text, bool field)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const ushort code = c.unicode();
        // Half a pair would reach the terminal or the file as another character.
        const bool paired = c.isHighSurrogate() ? i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                                                : i > 0 && text.at(i - 1).isHighSurrogate();
        if (c.isSurrogate() && !paired) {
            out += QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
        } else if (c == QLatin1Char('\\')) {
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
