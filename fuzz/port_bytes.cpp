// An invoice's text as a port's bytes, in every code page.
// With a code table as the settings may give it, the bytes start with
// ESC t n exactly when a table from 0 to 255 is given.
#include "fuzzing.h"
#include "portencoding.h"

FUZZ_APPLICATION(QCoreApplication)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    const QString codeTable = QString::fromUtf8(fuzzField(input, 0));
    const QString text = fuzzText(input.mid(fuzzField(input, 0).size() + 1));
    bool number = false;
    const int table = codeTable.trimmed().toInt(&number, 10);
    const bool withTable = number && table >= 0 && table <= 255;
    for (const QString &encoding : portEncodings()) {
        // Every encoding the settings accept encodes any text.
        const PortBytes plain = portBytes(text, encoding, QString());
        FUZZ_EXPECT(plain.ok());
        FUZZ_EXPECT(plain.replaced >= 0 && plain.replaced <= text.size());
        const PortBytes bytes = portBytes(text, encoding, codeTable);
        if (withTable)
            FUZZ_EXPECT(bytes.ok() && bytes.bytes == QByteArray("\x1bt") + char(table) + plain.bytes);
        else if (bytes.ok())
            FUZZ_EXPECT(bytes.bytes == plain.bytes);
    }
    return 0;
}
