// The certificate host-name match.
// A server's certificate (PEM or DER) and the host it is asked about: no
// certificate names an empty host, and one that does not read names none.
#include "certificatechain.h"
#include "fuzzing.h"

FUZZ_APPLICATION(QCoreApplication)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    const QString host = QString::fromUtf8(fuzzField(input, 0));
    const QByteArray der = input.mid(fuzzField(input, 0).size() + 1);
    for (const QSslCertificate &certificate : {QSslCertificate(der, QSsl::Pem), QSslCertificate(der, QSsl::Der)}) {
        const bool matches = certificateMatchesHost(certificate, host);
        FUZZ_EXPECT(!matches || (!certificate.isNull() && !host.isEmpty()));
    }
    return 0;
}
