#include "updatechecker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

constexpr int transferTimeoutMs = 30000;

Error feedError(int code, const QUrl &feedUrl, const QString &cause)
{
    return Error(
        QString::fromUtf16(UpdateChecker::errorDomain), code,
        QObject::tr("The update information at “%1” could not be read: %2").arg(feedUrl.toDisplayString(), cause));
}

// "sparkle:version" and "version" name the same thing: the prefix is whatever the feed declared.
QStringView localName(QStringView qualified)
{
    const qsizetype colon = qualified.lastIndexOf(u':');
    return colon < 0 ? qualified : qualified.mid(colon + 1);
}

QList<qulonglong> versionComponents(const QString &version)
{
    QList<qulonglong> components;
    static const QRegularExpression leadingDigits(QStringLiteral("^\\d+"));
    const QStringList parts = version.trimmed().split(u'.');
    for (const QString &part : parts) {
        const QRegularExpressionMatch match = leadingDigits.match(part);
        components.append(match.hasMatch() ? match.captured().toULongLong() : 0);
    }
    return components;
}

bool hasVersionNumber(const QString &version)
{
    return !version.isEmpty() && version.front().isDigit();
}

UpdateChecker::Release readItem(QXmlStreamReader &reader)
{
    UpdateChecker::Release release;
    QUrl link;
    QUrl enclosure;
    while (reader.readNextStartElement()) {
        const QStringView name = localName(reader.qualifiedName());
        if (name == u"enclosure") {
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute &attribute : attributes) {
                const QStringView attributeName = localName(attribute.qualifiedName());
                if (attributeName == u"version" && release.version.isEmpty())
                    release.version = attribute.value().toString().trimmed();
                else if (attributeName == u"shortVersionString")
                    release.version = attribute.value().toString().trimmed();
                else if (attributeName == u"url")
                    enclosure = QUrl(attribute.value().toString().trimmed());
            }
            reader.skipCurrentElement();
        } else if (name == u"version" || name == u"shortVersionString") {
            release.version = reader.readElementText().trimmed();
        } else if (name == u"pubDate") {
            release.date = QDateTime::fromString(reader.readElementText().trimmed(), Qt::RFC2822Date);
        } else if (name == u"description") {
            release.notes = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (name == u"releaseNotesLink") {
            release.releaseNotesUrl = QUrl(reader.readElementText().trimmed());
        } else if (name == u"link") {
            link = QUrl(reader.readElementText().trimmed());
        } else {
            reader.skipCurrentElement();
        }
    }
    release.downloadUrl = link.isValid() && !link.isEmpty() ? link : enclosure;
    return release;
}

// A link the feed may send the user to: a web page, over https, or over http when the feed itself came over http.
bool isWebLink(const QUrl &link, const QUrl &feedUrl)
{
    const QString scheme = link.scheme().toLower();
    const bool allowed = scheme == u"https" || (scheme == u"http" && feedUrl.scheme().toLower() == u"http");
    return allowed && link.isValid() && !link.host().isEmpty();
}

void refuseUnsafeLinks(const UpdateChecker::Release &release, const QUrl &feedUrl)
{
    for (const QUrl &link : {release.downloadUrl, release.releaseNotesUrl}) {
        if (!link.isEmpty() && !isWebLink(link, feedUrl))
            throw feedError(UpdateChecker::UnsafeLink, feedUrl,
                            UpdateChecker::tr("it links to “%1”, which is not a secure web address. The link was "
                                              "refused.")
                                .arg(link.toDisplayString()));
    }
}

} // namespace

UpdateChecker::UpdateChecker(const QUrl &feedUrl, const QString &currentVersion, QObject *parent)
    : QObject(parent)
    , m_feedUrl(feedUrl)
    , m_currentVersion(currentVersion)
    , m_network(new QNetworkAccessManager(this))
    , m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(defaultTimeoutMs);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        const int seconds = std::max(1, (m_deadline->interval() + 999) / 1000);
        fail(TimedOut, tr("the server did not answer within %n second(s).", nullptr, seconds));
    });
}

UpdateChecker::~UpdateChecker() = default;

bool UpdateChecker::isChecking() const
{
    return m_reply != nullptr;
}

void UpdateChecker::setTimeout(int milliseconds)
{
    m_deadline->setInterval(milliseconds);
}

void UpdateChecker::check()
{
    if (isChecking())
        return;
    if (!m_feedUrl.isValid() || m_feedUrl.scheme().isEmpty()) {
        Result result;
        result.error = Error(QString::fromUtf16(errorDomain), NoFeed, tr("No address is set for update information."));
        // Reported from the event loop like every other outcome, so callers connect before anything arrives.
        QMetaObject::invokeMethod(
            this, [this, result] { finish(result); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(m_feedUrl);
    request.setTransferTimeout(transferTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateChecker::replyFinished);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &UpdateChecker::replyProgress);
    m_deadline->start();
}

void UpdateChecker::replyProgress(qint64 received, qint64 total)
{
    if (received > maxFeedBytes || total > maxFeedBytes)
        fail(TooLarge,
             tr("it is larger than %1 KiB, far more than update information needs.").arg(maxFeedBytes / 1024));
}

void UpdateChecker::fail(int code, const QString &cause)
{
    if (!m_reply)
        return;
    cancel();
    Result result;
    result.error = feedError(code, m_feedUrl, cause);
    finish(result);
}

void UpdateChecker::cancel()
{
    m_deadline->stop();
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

int UpdateChecker::compareVersions(const QString &a, const QString &b)
{
    const QList<qulonglong> left = versionComponents(a);
    const QList<qulonglong> right = versionComponents(b);
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const qulonglong x = i < left.size() ? left.at(i) : 0;
        const qulonglong y = i < right.size() ? right.at(i) : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

QList<UpdateChecker::Release> UpdateChecker::parseFeed(const QByteArray &feed, const QUrl &feedUrl)
{
    QXmlStreamReader reader(feed);
    // Feeds use a prefix for their own attributes; it is matched by name, so a missing declaration is no error.
    reader.setNamespaceProcessing(false);
    QList<Release> releases;
    if (!reader.readNextStartElement() || reader.name() != u"rss")
        throw feedError(Malformed, feedUrl, tr("it is not an RSS feed."));
    bool sawChannel = false;
    while (reader.readNextStartElement()) {
        if (reader.name() != u"channel") {
            reader.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (reader.readNextStartElement()) {
            if (reader.name() == u"item")
                releases.append(readItem(reader));
            else
                reader.skipCurrentElement();
        }
    }
    if (reader.hasError())
        throw feedError(Malformed, feedUrl, tr("%1 (line %2).").arg(reader.errorString()).arg(reader.lineNumber()));
    if (!sawChannel)
        throw feedError(Malformed, feedUrl, tr("it is not an RSS feed."));
    return releases;
}

UpdateChecker::Result UpdateChecker::evaluate(const QByteArray &feed, const QUrl &feedUrl,
                                              const QString &currentVersion)
{
    Result result;
    try {
        const QList<Release> releases = parseFeed(feed, feedUrl);
        std::optional<Release> newest;
        for (const Release &release : releases) {
            if (!hasVersionNumber(release.version))
                continue;
            if (!newest || compareVersions(release.version, newest->version) > 0)
                newest = release;
        }
        if (!newest)
            throw feedError(NoReleases, feedUrl, tr("it lists no release."));
        refuseUnsafeLinks(*newest, feedUrl);
        result.latest = *newest;
        result.outcome =
            compareVersions(newest->version, currentVersion) > 0 ? Outcome::UpdateAvailable : Outcome::UpToDate;
    } catch (const Error &error) {
        result.outcome = Outcome::Failed;
        result.error = error;
    }
    return result;
}

void UpdateChecker::replyFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    m_deadline->stop();
    reply->deleteLater();
    Result result;
    if (reply->error() != QNetworkReply::NoError) {
        result.error = feedError(Unreachable, m_feedUrl, reply->errorString());
    } else {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && status.toInt() != 200)
            result.error = feedError(Unreachable, m_feedUrl, tr("the server answered %1.").arg(status.toInt()));
        else
            result = evaluate(reply->read(maxFeedBytes), m_feedUrl, m_currentVersion);
    }
    finish(result);
}

void UpdateChecker::finish(const Result &result)
{
    Q_EMIT finished(result);
}
