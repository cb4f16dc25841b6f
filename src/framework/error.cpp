#include "error.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstring>

Error::Error(QString domain, int code, QString description)
    : m_domain(std::move(domain))
    , m_code(code)
    , m_description(std::move(description))
    , m_what(m_description.toStdString())
{}

Error Error::fromErrno(int errnoCode, const QString &action, const QString &path)
{
    const QFileInfo info(path);
    const QString cause = QString::fromLocal8Bit(std::strerror(errnoCode));
    const QString description = QCoreApplication::translate("Error", "%1 “%2” in “%3”: %4")
                                    .arg(action, info.fileName(), info.absolutePath(), cause);
    return Error(QString::fromUtf16(ErrorDomain::posix), errnoCode, description);
}
