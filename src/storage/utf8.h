#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The one rule for note files: bytes are accepted exactly when they are well-formed UTF-8 (shortest forms, no
// surrogates, nothing above U+10FFFF, nothing cut short). No fallback, no repair.
namespace Utf8 {

bool isValid(const char *data, qsizetype size);
inline bool isValid(const QByteArray &bytes)
{
    return isValid(bytes.constData(), bytes.size());
}

// The text of valid bytes (a leading byte-order mark stays in the text), or none.
std::optional<QString> decode(const QByteArray &bytes);

} // namespace Utf8
