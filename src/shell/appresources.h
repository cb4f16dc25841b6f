#pragma once

#include <QIcon>
#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// The app's own files, next to the executable as ../share/noltnolt/ (the build tree has the same layout): the
// help and privacy pages and the information file (info.json) with the website and update feed addresses.
class AppResources
{
public:
    static constexpr char websiteKey[] = "QuorbellWebsite";
    static constexpr char updateFeedKey[] = "QuorbellUpdateFeed";
    // The one name the desktop knows the app by: its launcher, metadata, icon and session-bus name.
    static constexpr char applicationId[] = "com.quorbell.noltnolt";

    // Hands an address to the desktop (the default browser or viewer); replaceable for tests.
    using Opener = std::function<bool(const QUrl &url)>;

    // folder empty: the folder next to the running executable.
    explicit AppResources(const QString &folder = {});

    static QString defaultFolder();
    // The icon of the installed theme, else the one shipped beside the app.
    static QIcon applicationIcon(const QString &folder = {});
    QString folder() const { return m_folder; }

    // The page "<name>.html", or none when it is not there.
    std::optional<QUrl> pageUrl(const QString &name) const;
    // The value of key in the information file, or none when the file or the key is missing.
    std::optional<QJsonValue> infoValue(const QString &key) const;
    // A web address under key: none when missing, not a string, or not an http(s) address.
    std::optional<QUrl> infoWebUrl(const QString &key) const;

    void setOpener(Opener opener);
    // Each opens its page or address and does nothing at all when it is missing or malformed. True when handed
    // on; when no program answers, the user is told in the app.
    bool showHelp() const;
    bool showPrivacy() const;
    bool openWebsite() const;

private:
    bool open(const std::optional<QUrl> &url) const;

    QString m_folder;
    Opener m_opener;
};
