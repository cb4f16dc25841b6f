#include "storage/utf8.h"

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
        const unsigned char lead = *p;
        const qsizetype left = end - p;
        if (lead < 0xC2) {
            // A continuation byte with no lead, or an overlong two-byte form of ASCII.
            return false;
        }
        if (lead < 0xE0) {
            if (left < 2 || !isContinuation(p[1]))
                return false;
            p += 2;
        } else if (lead < 0xF0) {
            // E0 needs A0..BF (shorter forms are overlong); ED needs 80..9F (A0..BF would be surrogates).
            const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
            const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
            if (left < 3 || p[1] < low || p[1] > high || !isContinuation(p[2]))
                return false;
            p += 3;
        } else if (lead < 0xF5) {
            // F0 needs 90..BF (overlong below); F4 needs 80..8F (above U+10FFFF beyond).
            const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
            const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
            if (left < 4 || p[1] < low || p[1] > high || !isContinuation(p[2]) || !isContinuation(p[3]))
                return false;
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

std::optional<QString> decode(const QByteArray &bytes)
{
    if (!isValid(bytes))
        return std::nullopt;
    // Qt's decoder runs at a fifth of the speed of the check and drops a leading byte-order mark; bytes known to
    // be well-formed need no checks, so widen them here. The mark stays in the text so a note saves back as it was.
    QString text(bytes.size(), Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const unsigned char *const end = p + bytes.size();
    while (p < end) {
        while (end - p >= 16) {
            std::uint64_t words[2];
            std::memcpy(words, p, sizeof words);
            if ((words[0] | words[1]) & highBits)
                break;
            for (int k = 0; k < 16; ++k)
                out[k] = p[k];
            out += 16;
            p += 16;
        }
        if (p == end)
            break;
        const unsigned char lead = *p;
        if (lead < 0x80) {
            *out++ = lead;
            p += 1;
        } else if (lead < 0xE0) {
            *out++ = char16_t(((lead & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (lead < 0xF0) {
            *out++ = char16_t(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            const char32_t value = ((lead & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
            *out++ = char16_t(0xD800 + ((value - 0x10000) >> 10));
            *out++ = char16_t(0xDC00 + ((value - 0x10000) & 0x3FF));
            p += 4;
        }
    }
    text.truncate(out - reinterpret_cast<const char16_t *>(text.constData()));
    // Text outside Latin scripts takes fewer UTF-16 units than bytes: give the spare room back.
    if (text.size() < bytes.size() - bytes.size() / 4)
        text.squeeze();
    return text;
}

} // namespace Utf8
