// Text a page wrote, escaped for a terminal and for the log.
// Nothing that controls a terminal or reorders what it shows is left, and a
// new line in a log message always starts an indented continuation.
#include "fuzzing.h"
#include "textescape.h"

FUZZ_APPLICATION(QCoreApplication)

namespace {

bool harmless(const QString &text, bool logText)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\t') && logText)
            continue;
        if (c == QLatin1Char('\n') && logText) {
            if (!text.mid(i + 1).startsWith(QLatin1String("    ")))
                return false;
            continue;
        }
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
        if (c.isHighSurrogate() && !(i + 1 < text.size() && text.at(i + 1).isLowSurrogate()))
            return false;
        if (c.isLowSurrogate() && !(i > 0 && text.at(i - 1).isHighSurrogate()))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    for (const QString &text : {fuzzText(input), QString::fromUtf8(input)}) {
        FUZZ_EXPECT(harmless(escapedField(text), false));
        FUZZ_EXPECT(!escapedField(text).contains(QLatin1Char('\n')) && !escapedField(text).contains(QLatin1Char('\t')));
        FUZZ_EXPECT(harmless(escapedLogText(text), true));
    }
    return 0;
}
