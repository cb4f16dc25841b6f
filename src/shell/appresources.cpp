#include "appresources.h"

#include "shell/filemanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace {

constexpr char infoFile[] = "info.json";

} // namespace

AppResources::AppResources(const QString &folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : folder)
    , m_opener([](const QUrl &url) { return FileManager::openUrl(url); })
{}

QString AppResources::defaultFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/noltnolt"));
}

QIcon AppResources::applicationIcon(const QString &folder)
{
    const QString shipped =
        (folder.isEmpty() ? defaultFolder() : folder) + u'/' + QLatin1String(applicationId) + QStringLiteral(".svg");
    return QIcon::fromTheme(QLatin1String(applicationId), QIcon(shipped));
}

std::optional<QUrl> AppResources::pageUrl(const QString &name) const
{
    const QFileInfo page(QDir(m_folder).filePath(name + QStringLiteral(".html")));
    if (!page.isFile() || !page.isReadable())
        return std::nullopt;
    return QUrl::fromLocalFile(page.absoluteFilePath());
}

std::optional<QJsonValue> AppResources::infoValue(const QString &key) const
{
    QFile file(QDir(m_folder).filePath(QLatin1String(infoFile)));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject() || !document.object().contains(key))
        return std::nullopt;
    return document.object().value(key);
}

std::optional<QUrl> AppResources::infoWebUrl(const QString &key) const
{
    const std::optional<QJsonValue> value = infoValue(key);
    if (!value || !value->isString())
        return std::nullopt;
    const QUrl url(value->toString().trimmed(), QUrl::StrictMode);
    // Only web addresses: the file says where the product lives, never what program to run.
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"https" && scheme != u"http") || url.host().isEmpty())
        return std::nullopt;
    return url;
}

void AppResources::setOpener(Opener opener)
{
    m_opener = std::move(opener);
}

bool AppResources::showHelp() const
{
    return open(pageUrl(QStringLiteral("Help")));
}

bool AppResources::showPrivacy() const
{
    return open(pageUrl(QStringLiteral("Privacy")));
}

bool AppResources::openWebsite() const
{
    return open(infoWebUrl(QLatin1String(websiteKey)));
}

bool AppResources::open(const std::optional<QUrl> &url) const
{
    if (!url || !m_opener)
        return false;
    return m_opener(*url);
}
