#include "storage/utf8.h"

#include "framework/posixfile.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace Utf8 {

namespace {

constexpr std::uint64_t highBits = 0x8080808080808080ULL;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed sequence of two to four bytes at p, or 0 when there is none.
qsizetype sequenceLength(const unsigned char *p, qsizetype left)
{
    const unsigned char lead = *p;
    if (lead < 0xC2) {
        // A continuation byte with no lead, or an overlong two-byte form of ASCII.
        return 0;
    }
    if (lead < 0xE0)
        return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (lead < 0xF0) {
        // E0 needs A0..BF (shorter forms are overlong); ED needs 80..9F (A0..BF would be surrogates).
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return left >= 3 && p[1] >= low && p[1] <= high && isContinuation(p[2]) ? 3 : 0;
    }
    if (lead < 0xF5) {
        // F0 needs 90..BF (overlong below); F4 needs 80..8F (above U+10FFFF beyond).
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return left >= 4 && p[1] >= low && p[1] <= high && isContinuation(p[2]) && isContinuation(p[3]) ? 4 : 0;
    }
    return 0;
}

} // namespace

bool isValid(const char *data, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const unsigned char *const end = p + size;
    while (p < end) {
        if (*p < 0x80) {
            // Most notes are mostly ASCII: skip it eight bytes at a time.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, sizeof word);
                const std::uint64_t high = word & highBits;
                if (high != 0) {
                    if constexpr (std::endian::native == std::endian::little)
                        p += std::countr_zero(high) / 8;
                    break;
                }
                p += 8;
            }
            while (p < end && *p < 0x80)
                ++p;
            continue;
        }
        const qsizetype length = sequenceLength(p, end - p);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

std::optional<QString> decode(const QByteArray &bytes)
{
    // One pass that checks and decodes as isValid() checks: a note of 20 MB is read once, not twice. A leading
    // byte-order mark stays in the text, so that the note saves back byte for byte.
    QString text(bytes.size(), Qt::Uninitialized); // never more UTF-16 units than bytes
    PosixFile::adviseHugePages(text.data(), text.size() * qsizetype(sizeof(QChar)));
    auto *out = reinterpret_cast<char16_t *>(text.data());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const unsigned char *const end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, sizeof word);
                if (word & highBits)
                    break;
                for (int i = 0; i < 8; ++i)
                    out[i] = p[i];
                p += 8;
                out += 8;
            }
            while (p < end && *p < 0x80)
                *out++ = *p++;
            continue;
        }
        const qsizetype length = sequenceLength(p, end - p);
        if (length == 0)
            return std::nullopt;
        if (length == 2) {
            *out++ = char16_t(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
        } else if (length == 3) {
            *out++ = char16_t(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
        } else {
            const char32_t code =
                char32_t(((p[0] & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F));
            *out++ = QChar::highSurrogate(code);
            *out++ = QChar::lowSurrogate(code);
        }
        p += length;
    }
    const qsizetype size = out - reinterpret_cast<const char16_t *>(text.constData());
    text.truncate(size);
    // Text of mostly three-byte characters leaves most of the buffer unused.
    if (size < bytes.size() - bytes.size() / 4)
        text.squeeze();
    return text;
}

} // namespace Utf8
