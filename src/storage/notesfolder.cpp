#include "notesfolder.h"

#include "framework/error.h"
#include "framework/filenames.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QSettings>

#include <memory>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint32 bookmarkMagic = 0x4e4e4642; // "NNFB"
constexpr quint32 bookmarkVersion = 1;

std::unique_ptr<QSettings> openSettings(const QString &file)
{
    if (file.isEmpty())
        return std::make_unique<QSettings>();
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

Error damagedBookmark()
{
    return Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileReadCorrupt,
                 NotesFolder::tr("The remembered notes folder is damaged."));
}

} // namespace

NotesFolder::NotesFolder(const QString &settingsFile)
    : m_settingsFile(settingsFile)
{}

NotesFolder::~NotesFolder()
{
    for (const QUrl &url : std::as_const(m_activeUrls))
        stopAccessing(url);
}

void NotesFolder::setPanel(Panel panel)
{
    m_panel = std::move(panel);
}

NotesFolder::PanelRequest NotesFolder::panelRequest()
{
    return {tr("Choose a Folder for New Notes"),
            tr("Choose Desktop to keep new notes there, or choose another folder. Nolt Nolt remembers "
               "this choice and saves new notes automatically."),
            tr("Use Folder")};
}

std::optional<QUrl> NotesFolder::choose()
{
    if (!m_panel)
        return std::nullopt;
    const std::optional<QUrl> chosen = m_panel(panelRequest());
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    const bool granted = startAccessing(*chosen);
    try {
        remember(*chosen);
    } catch (const Error &) {
        if (granted)
            stopAccessing(*chosen);
        throw;
    }
    if (granted)
        m_activeUrls.append(*chosen);
    m_currentUrl = *chosen;
    return chosen;
}

std::optional<QUrl> NotesFolder::resolve()
{
    if (m_currentUrl)
        return m_currentUrl;
    const QByteArray bookmark = storedBookmark();
    if (bookmark.isEmpty())
        return choose();
    Resolved resolved;
    try {
        resolved = resolveBookmark(bookmark);
    } catch (const Error &) {
        // A folder that is gone is no error for the user: they are simply asked again.
        return choose();
    }
    if (!startAccessing(resolved.url))
        return choose();
    m_activeUrls.append(resolved.url);
    if (resolved.stale) {
        try {
            remember(resolved.url);
        } catch (const Error &) {
            return choose();
        }
    }
    m_currentUrl = resolved.url;
    return m_currentUrl;
}

QByteArray NotesFolder::bookmarkData(const QUrl &folder)
{
    const QString path = FileNames::pathOfUrl(folder);
    struct stat info = {};
    if (path.isEmpty() || ::stat(FileNames::encodeName(path).constData(), &info) != 0)
        throw Error::fromErrno(path.isEmpty() ? EINVAL : errno, tr("Could not remember the folder"), path);
    if (!S_ISDIR(info.st_mode))
        throw Error::fromErrno(ENOTDIR, tr("Could not remember the folder"), path);
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << bookmarkMagic << bookmarkVersion << path << quint64(info.st_dev) << quint64(info.st_ino);
    return bytes;
}

NotesFolder::Resolved NotesFolder::resolveBookmark(const QByteArray &bookmark)
{
    QDataStream stream(bookmark);
    quint32 magic = 0;
    quint32 version = 0;
    QString path;
    quint64 device = 0;
    quint64 inode = 0;
    stream >> magic >> version >> path >> device >> inode;
    if (stream.status() != QDataStream::Ok || magic != bookmarkMagic || version != bookmarkVersion || path.isEmpty() ||
        !stream.atEnd())
        throw damagedBookmark();
    struct stat info = {};
    if (::stat(FileNames::encodeName(path).constData(), &info) != 0)
        throw Error::fromErrno(errno, tr("Could not find the notes folder"), path);
    if (!S_ISDIR(info.st_mode))
        throw Error::fromErrno(ENOTDIR, tr("Could not find the notes folder"), path);
    return {FileNames::urlOfPath(path), quint64(info.st_dev) != device || quint64(info.st_ino) != inode};
}

bool NotesFolder::startAccessing(const QUrl &folder)
{
    const QString path = FileNames::pathOfUrl(folder);
    return !path.isEmpty() && ::access(FileNames::encodeName(path).constData(), R_OK | W_OK | X_OK) == 0;
}

void NotesFolder::stopAccessing(const QUrl &)
{
    // Plain permissions need no closing; kept so every opening has its close, as on sandboxed systems.
}

void NotesFolder::remember(const QUrl &folder)
{
    const QByteArray bookmark = bookmarkData(folder);
    auto settings = openSettings(m_settingsFile);
    settings->setValue(QLatin1String(key), bookmark);
    settings->sync();
    if (settings->status() != QSettings::NoError)
        throw Error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileWriteUnknown,
                    tr("The choice of notes folder could not be saved in the settings."));
}

QByteArray NotesFolder::storedBookmark() const
{
    auto settings = openSettings(m_settingsFile);
    const QVariant value = settings->value(QLatin1String(key));
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}
