// The shell's own page for a load that failed.
// Whatever the problem and the addresses hold, the page has the markup of
// one built from plain ones and nothing more.
#include "fuzzing.h"
#include "errorpage.h"

FUZZ_APPLICATION(QCoreApplication)

namespace {

QList<int> markup(const QString &html)
{
    return {int(html.count(QLatin1Char('<'))), int(html.count(QLatin1Char('>'))), int(html.count(QLatin1Char('"')))};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input = fuzzBytes(data + 1, size - 1);
    const int retrySeconds = int(data[0]) - 8;
    const QString problem = QString::fromUtf8(fuzzField(input, 0));
    const QUrl url(QString::fromUtf8(fuzzField(input, 1)));
    const QUrl backTo(QString::fromUtf8(fuzzField(input, 2)));
    const QTime when(12, 0);
    const QString html = errorPageHtml(problem, url, when, retrySeconds, backTo);
    const QString plain = errorPageHtml(QStringLiteral("x"), QUrl(QStringLiteral("https://x/")), when, retrySeconds,
                                        backTo.isValid() ? QUrl(QStringLiteral("https://y/")) : QUrl());
    FUZZ_EXPECT(markup(html) == markup(plain));
    return 0;
}
