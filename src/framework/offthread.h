#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

// Runs beside on a thread of its own while here runs on this one, and returns once both are done: one long pass cut
// in two, for a machine with two processors or more. When no thread can be had, beside runs here after here.
inline void runSideBySide(const std::function<void()> &here, const std::function<void()> &beside)
{
    std::optional<std::thread> other;
    try {
        other.emplace(beside);
    } catch (const std::system_error &) {
    }
    here();
    if (other)
        other->join();
    else
        beside();
}

// Runs work on the app's thread pool, then done with its result on context's thread; nothing is done when context
// is gone by then. For reads and listings that must never hold up a window.
template<class Result>
void runOffThread(QObject *context, std::function<Result()> work, std::function<void(const Result &)> done)
{
    auto promise = std::make_shared<QPromise<Result>>();
    auto *watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        if (watcher->future().resultCount() > 0)
            done(watcher->future().result());
    });
    watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)] {
        promise->addResult(work());
        promise->finish();
    });
}
