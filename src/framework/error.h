#pragma once

#include <QString>

#include <exception>
#include <string>

// A failure as the user and the caller see it: where it comes from (domain), which one (code) and the sentence
// a person reads, naming the file and the cause. Fallible operations throw it; the command that started the work
// presents it once.
class Error : public std::exception
{
public:
    // Where a failure comes from, for the code that acts on it; domain() is the name the user and the self-test see.
    enum class Source
    {
        // A system call failed; code is its errno.
        System,
        // The app's own file and document failures (the cocoa domain's codes below).
        Document,
        // Nothing failed, but nothing was written yet: an open question, a read under way or a grace decides first.
        Deferred,
        Other
    };

    Error() = default; // an empty value, so errors can travel in signals and variants
    Error(QString domain, int code, QString description);

    // Why a write was put off; the text is kept for recovery meanwhile.
    static Error deferred(const QString &why);
    // A failed system call on a file: the errno code and "<what> “name” in “folder”: <strerror>".
    static Error fromErrno(int errnoCode, const QString &action, const QString &path);

    const QString &domain() const { return m_domain; }
    Source source() const { return m_source; }
    int code() const { return m_code; }
    const QString &description() const { return m_description; }
    // A sentence shown under the description, for one that leaves the file unnamed.
    const QString &informativeText() const { return m_informativeText; }
    Error withInformativeText(const QString &text) const
    {
        Error error = *this;
        error.m_informativeText = displayText(text);
        return error;
    }

    // The runtime prints this when an error escapes main, so the report names the cause.
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    static QString displayText(const QString &text);

    QString m_domain;
    Source m_source = Source::Other;
    int m_code = 0;
    QString m_description;
    QString m_informativeText;
    std::string m_what;
};

namespace ErrorDomain {
inline constexpr char16_t quorbell[] = u"Quorbell";
inline constexpr char16_t posix[] = u"NSPOSIXErrorDomain";
inline constexpr char16_t cocoa[] = u"NSCocoaErrorDomain";
} // namespace ErrorDomain

// The codes of the cocoa domain that these files use.
namespace ErrorCode {
inline constexpr int fileReadUnknown = 256;
inline constexpr int fileReadCorrupt = 259;
inline constexpr int fileReadInapplicableEncoding = 261;
inline constexpr int fileWriteUnknown = 512;
} // namespace ErrorCode
