// settings.ini, as a hand edit leaves it.
// A whole file, or one key's value in an otherwise sound file: everything
// reads, and what Postavke write back of it reads back the same.
#include "fuzzing.h"
#include "settingsfile.h"
#include "settingskeys.h"

#include <QFile>

FUZZ_APPLICATION(QCoreApplication)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QLatin1String keys[] = {SettingsKeys::printerPort,   SettingsKeys::useSerialPort,
                                         SettingsKeys::friendlyName,  SettingsKeys::portEncoding,
                                         SettingsKeys::portCodeTable, SettingsKeys::mainUrl,
                                         SettingsKeys::timeout,       SettingsKeys::version};
    if (size == 0)
        return 0;
    const QByteArray input = fuzzBytes(data + 1, size - 1);
    // An odd first byte: the rest is the value of one key.
    const QByteArray text = data[0] % 2 == 0
                                ? input
                                : "[General]\nprinterPort=COM1\nuseSerialPort=true\n"
                                      + QByteArray(keys[data[0] / 2 % std::size(keys)].data()) + '=' + input + '\n';
    static int run = 0;
    const QString path = fuzzFolder() + QStringLiteral("/settings-%1.ini").arg(++run);
    QFile file(path);
    FUZZ_EXPECT(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();

    const SettingsFile settings(path);
    settings.startup(QStringLiteral("https://localhost:8443"));
    settings.checkForNewVersionUrl();
    settings.version();
    const OutputSelection read = settings.outputSelection();
    if (settings.writeOutputSelection(read.choice) && settings.writePortEncoding(read.portEncoding, read.portCodeTable)) {
        const OutputSelection again = settings.outputSelection();
        FUZZ_EXPECT(again.choice == read.choice);
        FUZZ_EXPECT(again.portEncoding == read.portEncoding && again.portCodeTable == read.portCodeTable);
    }
    QFile::remove(path);
    return 0;
}
