// velmor-update-answer: reads an update check answer where it can be cut off.
// The answer is script and untrusted; evaluated in the program itself, a
// getter or a conversion that never ends, or a built-in that allocates
// gigabytes, would hang or exhaust the shell. Here the system ends this
// process instead, past the limits it sets itself.
//
// Usage: velmor-update-answer MILLISECONDS MEMORY_BYTES < answer > values
// Prints the answer's plain values as JSON and exits 0.

#include "processlimits.h"
#include "updateanswer.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int deadlineMs = arguments.value(1).toInt();
    const qint64 memoryBytes = arguments.value(2).toLongLong();
    if (deadlineMs <= 0 || memoryBytes <= 0) {
        std::fprintf(stderr, "Usage: velmor-update-answer MILLISECONDS MEMORY_BYTES < answer\n");
        return 2;
    }

    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return 3;
    const QString answer = answerText(input.readAll());

    // The engine reserves its code area on first use; the memory limit counts
    // from after that.
    warmUpAnswerEngine();
    if (!ProcessLimits::apply((deadlineMs + 999) / 1000, memoryBytes))
        return 4;

    // Within the limits, the engine's own deadline ends a script that runs
    // long in the engine, well before the caller gives up on this process;
    // the processor-time limit ends one that runs long in a conversion.
    const QByteArray values = answerToJson(evaluateUpdateAnswer(answer, deadlineMs / 2));
    std::fwrite(values.constData(), 1, size_t(values.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 5;
}
