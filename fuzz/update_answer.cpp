// The update check's answer, as the answer reader takes it.
// The values it hands the shell read back the same, and a list the shell
// does not refuse puts every file inside the program's folder.
#include "fuzzing.h"
#include "updateanswer.h"

#include <QDir>

FUZZ_APPLICATION(QCoreApplication)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const UpdateAnswer answer = evaluateUpdateAnswer(answerText(fuzzBytes(data, size)), 200);
    const QByteArray values = answerToJson(answer);
    UpdateAnswer back;
    FUZZ_EXPECT(answerFromJson(values, &back));
    FUZZ_EXPECT(answerToJson(back) == values);
    if (refusalReason(back.files).isEmpty()) {
        const QString folder = QStringLiteral("/program");
        for (const UpdateFile &file : back.files) {
            const QString target = QDir::cleanPath(folder + QLatin1Char('/') + file.filePath + QLatin1Char('/')
                                                   + fileNameOf(file.downloadUrl));
            FUZZ_EXPECT(target.startsWith(folder + QLatin1Char('/')) && target.size() > folder.size() + 1);
        }
    }
    return 0;
}
