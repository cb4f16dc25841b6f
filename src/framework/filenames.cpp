#include "filenames.h"

#include <QDir>
#include <QStringDecoder>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace {

constexpr char16_t escapeBase = 0xDC00;

bool isEscape(QStringView text, qsizetype i)
{
    const char16_t unit = text[i].unicode();
    return unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF && (i == 0 || !text[i - 1].isHighSurrogate());
}

bool isContinuation(uchar byte, uchar low = 0x80, uchar high = 0xBF)
{
    return byte >= low && byte <= high;
}

// The length of the well-formed UTF-8 sequence at bytes[i], or 0 when none starts there.
qsizetype sequenceAt(const QByteArray &bytes, qsizetype i)
{
    const auto at = [&bytes](qsizetype k) {
        return k < bytes.size() ? uchar(bytes[k]) : uchar(0);
    };
    const uchar lead = at(i);
    if (lead < 0x80)
        return 1;
    // The second byte's range depends on the lead, which rules out overlong forms, encoded surrogates and code
    // points past U+10FFFF.
    uchar low = 0x80;
    uchar high = 0xBF;
    qsizetype length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (!isContinuation(at(i + 1), low, high))
        return 0;
    for (qsizetype k = 2; k < length; ++k) {
        if (!isContinuation(at(i + k)))
            return 0;
    }
    return length;
}

// UTF-8 to text, keeping a leading byte order mark: it is part of the name.
QString fromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

} // namespace

namespace FileNames {

QByteArray encodeName(const QString &name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype run = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isEscape(name, i))
            continue;
        bytes += QStringView(name).sliced(run, i - run).toUtf8();
        bytes += char(name[i].unicode() - escapeBase);
        run = i + 1;
    }
    return run == 0 ? name.toUtf8() : bytes + QStringView(name).sliced(run).toUtf8();
}

QString decodeName(const QByteArray &bytes)
{
    QString name;
    qsizetype run = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        if (const qsizetype length = sequenceAt(bytes, i)) {
            i += length;
            continue;
        }
        name += fromUtf8(bytes.sliced(run, i - run));
        name += QChar(char16_t(escapeBase + uchar(bytes[i])));
        run = ++i;
    }
    return run == 0 ? fromUtf8(bytes) : name + fromUtf8(bytes.sliced(run));
}

bool hasEscapes(const QString &name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isEscape(name, i))
            return true;
    }
    return false;
}

QString displayName(const QString &name)
{
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (isEscape(name, i))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

QUrl urlOfPath(const QString &path)
{
    if (!hasEscapes(path))
        return QUrl::fromLocalFile(path);
    const QByteArray encoded = encodeName(path).toPercentEncoding("/");
    return QUrl::fromEncoded((path.startsWith(u'/') ? "file://" : "file:") + encoded, QUrl::StrictMode);
}

QString pathOfUrl(const QUrl &url)
{
    if (!url.isLocalFile())
        return {};
    const QString path = decodeName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    // As the toolkit reads it: a host names a share.
    if (!url.host().isEmpty() && !path.isEmpty())
        return QStringLiteral("//") + url.host() + path;
    return path;
}

QString canonicalPath(const QString &path)
{
    char resolved[PATH_MAX];
    return ::realpath(encodeName(path).constData(), resolved) ? decodeName(QByteArray(resolved)) : QString();
}

bool exists(const QString &path)
{
    struct stat info
    {};
    return !path.isEmpty() && ::stat(encodeName(path).constData(), &info) == 0;
}

QString stateFolder(const QString &appDirName)
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + u'/' + appDirName;
}

} // namespace FileNames
