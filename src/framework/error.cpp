#include "error.h"

#include "framework/filenames.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstring>

Error::Error(QString domain, int code, QString description)
    : m_domain(std::move(domain))
    , m_code(code)
    // Read by a person: bytes of a file name that are not UTF-8 show as U+FFFD, never as raw escapes.
    , m_description(displayText(description))
    , m_what(m_description.toStdString())
{
    // The domain's name is told once, here; everything after looks at the source.
    if (m_domain == QStringView(ErrorDomain::posix))
        m_source = Source::System;
    else if (m_domain == QStringView(ErrorDomain::cocoa))
        m_source = Source::Document;
}

Error Error::deferred(const QString &why)
{
    Error error(QString::fromUtf16(ErrorDomain::cocoa), ErrorCode::fileWriteUnknown, why);
    error.m_source = Source::Deferred;
    return error;
}

QString Error::displayText(const QString &text)
{
    return FileNames::displayName(text);
}

Error Error::fromErrno(int errnoCode, const QString &action, const QString &path)
{
    const QFileInfo info(path);
    const QString cause = QString::fromLocal8Bit(std::strerror(errnoCode));
    const QString description = QCoreApplication::translate("Error", "%1 “%2” in “%3”: %4")
                                    .arg(action, info.fileName(), info.absolutePath(), cause);
    return Error(QString::fromUtf16(ErrorDomain::posix), errnoCode, description);
}
