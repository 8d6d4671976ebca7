// A report path a page asks for.
// Either an address on the service origin, or refused with a reason.
#include "fuzzing.h"
#include "reportaddress.h"

FUZZ_APPLICATION(QCoreApplication)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    for (const QString &path : {fuzzText(input), QString::fromUtf8(input)}) {
        QString problem;
        const QUrl address = reportAddress(QStringLiteral("https://localhost:8443"), path, &problem);
        if (problem.isEmpty()) {
            FUZZ_EXPECT(address.isValid());
            FUZZ_EXPECT(address.scheme() == QLatin1String("https") && address.host() == QLatin1String("localhost")
                        && address.port() == 8443 && address.userInfo().isEmpty());
            // What the network stack is given names the same place.
            const QUrl sent = QUrl::fromEncoded(address.toEncoded());
            FUZZ_EXPECT(sent.host() == QLatin1String("localhost") && sent.port() == 8443 && sent.userInfo().isEmpty());
        }
    }
    return 0;
}
