#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMutex>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

// Work that may hang (a print system that takes the connection and never
// answers) runs on a thread of its own, so the caller's event loop never
// stops. The thread is let go: if the work never ends, only it waits.

// Waits for `work` while the caller's event loop runs, for at most
// `deadlineMs`; past that, returns `late` and leaves the work to itself.
template <typename T>
T runInBackground(std::function<T()> work, int deadlineMs, T late)
{
    struct Shared
    {
        QMutex mutex;
        std::optional<T> result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work] {
        T result = work();
        QMutexLocker lock(&shared->mutex);
        shared->result = std::move(result);
    }).detach();

    const QDeadlineTimer deadline(deadlineMs);
    QEventLoop loop;
    QTimer poll;
    auto check = [&] {
        QMutexLocker lock(&shared->mutex);
        if (shared->result || deadline.hasExpired())
            loop.quit();
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start(5);
    loop.exec();
    QMutexLocker lock(&shared->mutex);
    return shared->result ? std::move(*shared->result) : std::move(late);
}

// Runs `work` on a thread of its own and hands its result to `done` on the
// thread of `receiver`, if the receiver is still there by then.
template <typename T, typename Receiver>
void runLater(std::function<T()> work, Receiver *receiver, std::function<void(const T &)> done)
{
    QPointer<Receiver> target(receiver);
    std::thread([work, target, done] {
        T result = work();
        QCoreApplication *application = QCoreApplication::instance();
        if (!application)
            return; // the program is ending
        QMetaObject::invokeMethod(
            application,
            [target, done, result] {
                if (target)
                    done(result);
            },
            Qt::QueuedConnection);
    }).detach();
}

// As runLater, but `done` gets `late` once `deadlineMs` have passed without a
// result; a result that comes after that is dropped. Either way `done` runs
// once. `whenLate`, if given, runs just before `done` gets `late` (to tell
// the work it is given up on).
template <typename T, typename Receiver>
void runLaterWithin(std::function<T()> work, int deadlineMs, T late, Receiver *receiver,
                    std::function<void(const T &)> done, std::function<void()> whenLate = {})
{
    auto answered = std::make_shared<bool>(false); // touched on the receiver's thread only
    auto timer = new QTimer(receiver);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, receiver, [answered, done, late, timer, whenLate] {
        timer->deleteLater();
        if (std::exchange(*answered, true))
            return;
        if (whenLate)
            whenLate();
        done(late);
    });
    timer->start(deadlineMs);
    QPointer<QTimer> guard(timer);
    runLater<T, Receiver>(std::move(work), receiver, [answered, done, guard](const T &result) {
        if (guard)
            guard->deleteLater();
        if (!std::exchange(*answered, true))
            done(result);
    });
}
