#pragma once

#include "framework/error.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Asks the update feed (an RSS appcast) which release is the newest and compares it with the running version.
// Only runs when asked; knows nothing of dialogs.
class UpdateChecker : public QObject
{
    Q_OBJECT

public:
    struct Release
    {
        QString version;
        QDateTime date;
        QString notes;
        // The page to download the release from (the item's link, else its enclosure).
        QUrl downloadUrl;
        QUrl releaseNotesUrl;
    };

    enum class Outcome
    {
        UpToDate,
        UpdateAvailable,
        Failed
    };

    struct Result
    {
        Outcome outcome = Outcome::Failed;
        Release latest;
        std::optional<Error> error;
    };

    static constexpr char16_t errorDomain[] = u"QuorbellUpdateFeed";
    enum ErrorCode
    {
        NoFeed = 1,
        Unreachable = 2,
        Malformed = 3,
        NoReleases = 4,
        TooLarge = 5,
        UnsafeLink = 6,
        TimedOut = 7
    };
    // A feed is a few kilobytes: a server that sends more is refused rather than read without end.
    static constexpr qint64 maxFeedBytes = 1024 * 1024;
    static constexpr int defaultTimeoutMs = 60000;

    UpdateChecker(const QUrl &feedUrl, const QString &currentVersion, QObject *parent = nullptr);
    ~UpdateChecker() override;

    QUrl feedUrl() const { return m_feedUrl; }
    QString currentVersion() const { return m_currentVersion; }
    bool isChecking() const;
    // The longest a whole check may take, slow trickles included.
    void setTimeout(int milliseconds);

    // Starts one check; finished() follows exactly once, also for a failure.
    void check();
    void cancel();

    // Negative, zero or positive as a is older than, the same as or newer than b, component by component
    // ("1.10" is newer than "1.9"; "1.2" equals "1.2.0").
    static int compareVersions(const QString &a, const QString &b);
    // The releases of a feed, in feed order. Throws Error when the feed is not a readable RSS feed.
    static QList<Release> parseFeed(const QByteArray &feed, const QUrl &feedUrl);
    // What a feed says about the running version. Only web links leave the app: https, or http when the feed
    // itself came over http; a release that offers any other link is refused.
    static Result evaluate(const QByteArray &feed, const QUrl &feedUrl, const QString &currentVersion);

Q_SIGNALS:
    void finished(const UpdateChecker::Result &result);

private:
    void replyFinished();
    void replyProgress(qint64 received, qint64 total);
    void fail(int code, const QString &cause);
    void finish(const Result &result);

    QUrl m_feedUrl;
    QString m_currentVersion;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer *m_deadline = nullptr;
};
