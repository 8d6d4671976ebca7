#include "updateanswer.h"

#include <QJSEngine>
#include <QJSValueIterator>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// The answer read by QJSEngine (Qt 6 has no QtScript).

namespace {

// A property as text; missing, null or on a non-object, empty.
QString textOf(const QJSValue &object, const QString &name)
{
    if (!object.isObject())
        return QString();
    const QJSValue value = object.property(name);
    if (value.isUndefined() || value.isNull() || value.isError())
        return QString();
    return value.toString();
}

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
    UpdateAnswer result;
    QJSEngine engine;
    Deadline deadline(engine, deadlineMs);

    const QJSValue value = engine.evaluate(QLatin1Char('(') + answer + QLatin1Char(')'), QString(), 1);
    if (deadline.stop() || engine.isInterrupted())
        return UpdateAnswer{0, false, {}, true};

    // A getter or a conversion that never ends while the values are read is
    // ended with the whole reader, by its processor-time limit.
    const QJSValue version = value.isObject() ? value.property(QStringLiteral("version")) : QJSValue();
    result.version = (version.isUndefined() || version.isError()) ? 0 : version.toNumber();

    const QJSValue files = value.isObject() ? value.property(QStringLiteral("files")) : QJSValue();
    result.hasFileList = files.isArray();
    if (!result.hasFileList)
        return result;
    // The elements in index order ("length" is not enumerable).
    QJSValueIterator it(files);
    while (it.hasNext()) {
        it.next();
        const QJSValue entry = it.value();
        UpdateFile file;
        file.downloadUrl = textOf(entry, QStringLiteral("DownloadURL"));
        if (file.downloadUrl.isEmpty())
            continue;
        file.filePath = textOf(entry, QStringLiteral("FilePath"));
        file.sha256 = textOf(entry, QStringLiteral("SHA256"));
        result.files.append(file);
    }
    return result;
}
