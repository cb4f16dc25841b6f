#include "storage/utf8.h"

#include <QStringDecoder>

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
    // Qt's decoders change nothing in well-formed bytes. QString::fromUtf8 is the faster one but drops a leading
    // byte-order mark, which must stay in the text so the note saves back byte for byte.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        QString text = decoder.decode(bytes);
        return text;
    }
    return QString::fromUtf8(bytes);
}

} // namespace Utf8
