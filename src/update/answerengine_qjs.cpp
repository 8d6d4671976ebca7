#include "answervalues.h"
#include "updateanswer.h"

#include <QJSEngine>
#include <QJSValueIterator>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// The answer read by QJSEngine (Qt 6 has no QtScript).

namespace {

// Interrupts the engine once the deadline has passed. The engine never
// returns to an event loop while it runs, so the watch runs on a thread of
// its own; setInterrupted is the engine's one call made for that.
class Deadline
{
public:
    Deadline(QJSEngine &engine, int deadlineMs)
        : watch([this, &engine, deadlineMs] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!finished.wait_for(lock, std::chrono::milliseconds(deadlineMs), [this] { return done; })) {
                expired = true;
                engine.setInterrupted(true);
            }
        })
    {
    }
    ~Deadline() { stop(); }

    bool stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        finished.notify_all();
        if (watch.joinable())
            watch.join();
        return expired;
    }

private:
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool expired = false;
    std::thread watch;
};

} // namespace

void warmUpAnswerEngine()
{
    QJSEngine().evaluate(QStringLiteral("0"));
}

UpdateAnswer evaluateUpdateAnswer(const QString &answer, int deadlineMs)
{
    QJSEngine engine;
    Deadline deadline(engine, deadlineMs);

    const QJSValue value = engine.evaluate(QLatin1Char('(') + answer + QLatin1Char(')'), QString(), 1);
    if (deadline.stop() || engine.isInterrupted())
        return UpdateAnswer{0, false, {}, true};

    // A getter or a conversion that never ends while the values are read is
    // ended with the whole reader, by its processor-time limit.
    return answerValues<QJSValue, QJSValueIterator>(
        value, [](const QJSValue &v) { return v.isUndefined() || v.isError(); });
}
