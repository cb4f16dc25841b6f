#include "recoverystore.h"

#include "framework/durablewriter.h"
#include "framework/error.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <sys/stat.h>

namespace {

constexpr char textSuffix[] = ".txt";
constexpr char pathSuffix[] = ".path";
// Unsaved notes are private: other users of the machine may read a home folder, never this one.
constexpr mode_t folderMode = 0700;
constexpr mode_t fileMode = 0600;

} // namespace

RecoveryStore::RecoveryStore(QString folder)
    : m_folder(std::move(folder))
    , m_keeper(std::make_unique<QThreadPool>())
{
    m_keeper->setMaxThreadCount(1);
    tighten();
}

RecoveryStore::~RecoveryStore()
{
    finishKeeping();
}

void RecoveryStore::finishKeeping() const
{
    m_keeper->waitForDone();
}

void RecoveryStore::tighten() const
{
    // What an earlier version kept with wider permissions is closed at once.
    if (::chmod(FileNames::encodeName(m_folder).constData(), folderMode) != 0)
        return;
    const QStringList names = QDir(m_folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names)
        ::chmod(FileNames::encodeName(m_folder + u'/' + name).constData(), fileMode);
}

QString RecoveryStore::defaultFolder(const QString &appDirName)
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + u'/' + appDirName + QStringLiteral("/recovery");
}

QString RecoveryStore::basePathFor(const QString &originalPath) const
{
    const QByteArray key = FileNames::encodeName(QFileInfo(originalPath).absoluteFilePath());
    return m_folder + u'/' + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
}

void RecoveryStore::keep(const QString &originalPath, const QByteArray &bytes)
{
    finishKeeping();
    write(m_folder, basePathFor(originalPath), originalPath, bytes);
}

void RecoveryStore::keepLater(const QString &originalPath, std::function<QByteArray()> bytesOf)
{
    m_keeper->start([folder = m_folder, base = basePathFor(originalPath), originalPath, bytesOf = std::move(bytesOf)] {
        try {
            write(folder, base, originalPath, bytesOf());
        } catch (const Error &) {
        }
    });
}

void RecoveryStore::write(const QString &folder, const QString &base, const QString &originalPath,
                          const QByteArray &bytes)
{
    PosixFile::makePath(folder, QCoreApplication::translate("RecoveryStore", "Could not keep a copy in"));
    ::chmod(FileNames::encodeName(folder).constData(), folderMode);
    DurableWriter::Options options;
    options.newFileMode = fileMode;
    // The text first: a path without its text is never listed.
    DurableWriter::replace(base + QLatin1String(textSuffix), bytes, options);
    DurableWriter::replace(base + QLatin1String(pathSuffix),
                           FileNames::encodeName(QFileInfo(originalPath).absoluteFilePath()), options);
}

void RecoveryStore::discard(const QString &originalPath)
{
    finishKeeping();
    const QString base = basePathFor(originalPath);
    QFile::remove(base + QLatin1String(pathSuffix));
    QFile::remove(base + QLatin1String(textSuffix));
}

bool RecoveryStore::holds(const QString &originalPath) const
{
    finishKeeping();
    const QString base = basePathFor(originalPath);
    return QFileInfo::exists(base + QLatin1String(pathSuffix)) && QFileInfo::exists(base + QLatin1String(textSuffix));
}

QList<RecoveryStore::Entry> RecoveryStore::entries() const
{
    finishKeeping();
    QList<Entry> found;
    const QDir dir(m_folder);
    const QStringList names = dir.entryList({QStringLiteral("*") + QLatin1String(pathSuffix)}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile pathFile(dir.filePath(name));
        if (!pathFile.open(QIODevice::ReadOnly))
            continue;
        const QString original = FileNames::decodeName(pathFile.readAll());
        const QString text = dir.filePath(name.chopped(int(qstrlen(pathSuffix))) + QLatin1String(textSuffix));
        if (!original.isEmpty() && QFileInfo::exists(text))
            found.append({original, text});
    }
    return found;
}
