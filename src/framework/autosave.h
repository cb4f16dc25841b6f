#pragma once

#include "framework/error.h"

#include <QObject>

#include <functional>
#include <optional>

class QTimer;

// When a note's typing is written without being asked: 0.3 s after the last edit, and after a failed write again
// later, waiting longer each time, so that text typed before the disk got room again reaches it without a lasting
// failure spinning the disk. The same failure is told once, not after every pause.
class AutoSave : public QObject
{
    Q_OBJECT

public:
    using Completion = std::function<void(const std::optional<Error> &)>;
    static constexpr int delayMs = 300;
    static constexpr int firstRetryMs = 1000;
    static constexpr int mostRetryMs = 60000;

    // save writes the typing and completes, never throwing; tell shows a failure; edited says whether typing is still
    // unwritten.
    AutoSave(std::function<void(const Completion &)> save, std::function<void(const Error &)> tell,
             std::function<bool()> edited, QObject *parent);

    // An edit, or a change that wants writing as an edit would: the write comes after the pause.
    void schedule();
    // The pause's timer, none before the first edit; the retry after a failed save, none while saves succeed.
    QTimer *pending() const { return m_pause; }
    QTimer *retry() const;

Q_SIGNALS:
    void requested();

private:
    void saveNow();
    void finished(const std::optional<Error> &error);

    std::function<void(const Completion &)> m_save;
    std::function<void(const Error &)> m_tell;
    std::function<bool()> m_edited;
    QTimer *m_pause = nullptr;
    QTimer *m_retry = nullptr;
    int m_retryDelayMs = 0;
    std::optional<Error> m_shownFailure;
};
