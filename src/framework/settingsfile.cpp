#include "settingsfile.h"

#include "framework/filenames.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString organization()
{
    // As QSettings names it when the application gives none.
    const QString name = QCoreApplication::organizationName();
    return name.isEmpty() ? QStringLiteral("Unknown Organization") : name;
}

// Why QSettings must not read what is at file (or at its lock's name), or nothing.
QString obstacle(const QString &file)
{
    struct stat info
    {};
    if (::stat(FileNames::encodeName(file).constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return SettingsFile::tr("it is not a plain file");
        if (info.st_size > SettingsFile::maxBytes)
            return SettingsFile::tr("it is longer than %1 MB").arg(SettingsFile::maxBytes / (1024 * 1024));
    }
    const QString lock = file + QStringLiteral(".lock");
    if (::lstat(FileNames::encodeName(lock).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return SettingsFile::tr("“%1” beside it is not a plain file").arg(QFileInfo(lock).fileName());
    return {};
}

void useFolder(const QString &folder)
{
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, folder);
}

} // namespace

QString SettingsFile::path()
{
    const QString application = QCoreApplication::applicationName();
    return userFolder() + u'/' + organization() + (application.isEmpty() ? QString() : u'/' + application) +
           QStringLiteral(".conf");
}

std::optional<Error> SettingsFile::useIfReadable()
{
    // The organization's own file is read too, as the application's fallback.
    const QString file = path();
    QString why = obstacle(file);
    QString named = file;
    if (why.isEmpty() && !QCoreApplication::applicationName().isEmpty()) {
        named = userFolder() + u'/' + organization() + QStringLiteral(".conf");
        why = obstacle(named);
    }
    if (why.isEmpty()) {
        useFolder(userFolder());
        return std::nullopt;
    }
    // Private to the user, and gone when the app ends.
    static QTemporaryDir aside;
    useFolder(aside.isValid() ? aside.path() : QStringLiteral("/dev/null/settings"));
    const QFileInfo shown(named);
    return Error(QString::fromUtf16(ErrorDomain::quorbell), 0,
                 tr("Nolt Nolt could not read its settings in “%1” in “%2”: %3. It goes on with its defaults, and "
                    "what is changed now is not kept.")
                     .arg(FileNames::displayName(shown.fileName()), FileNames::displayName(shown.absolutePath()), why));
}
