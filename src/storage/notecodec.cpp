#include "storage/notecodec.h"

#include "framework/offthread.h"
#include "framework/posixfile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace NoteCodec {

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
    PosixFile::prefault(text.data(), text.size() * qsizetype(sizeof(QChar)));
    auto *out = reinterpret_cast<char16_t *>(text.data());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const unsigned char *const end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
#if defined(__SSE2__)
            // Sixteen bytes widen to sixteen units in two stores, and the units from the first non-ASCII byte on
            // are written over next. There is room: a unit never takes the place of less than one byte.
            for (; end - p >= 16;) {
                const __m128i bytes16 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(bytes16, _mm_setzero_si128()));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(bytes16, _mm_setzero_si128()));
                const unsigned high = unsigned(_mm_movemask_epi8(bytes16));
                const int ascii = high == 0 ? 16 : std::countr_zero(high);
                p += ascii;
                out += ascii;
                if (ascii < 16)
                    break;
            }
#else
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
#endif
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

QByteArray encode(QStringView text)
{
    return text.toUtf8();
}

} // namespace NoteCodec

namespace LineEndings {

namespace {

constexpr char16_t paragraphBreak = 0x2029;
// A line longer than this is cut before the next space; one without spaces is cut anyway at twice this. Qt lays
// out a whole paragraph for every change in it, so this bounds what a keystroke costs in a long line.
constexpr qsizetype cutAfter = 2048;
constexpr qsizetype cutAnyway = 2 * cutAfter;

// Where a long line may be cut: before a space (no word spans one, so counting and spelling stay the same), or
// when there is none for long, anywhere but inside a character.
bool mayCut(const QChar *text, qsizetype i, qsizetype run)
{
    if (run < cutAfter)
        return false;
    if (text[i] == u' ')
        return true;
    return run >= cutAnyway && !text[i].isLowSurrogate() && !text[i].isMark();
}

// Writes UTF-8 into a buffer large enough for three bytes per unit. A high surrogate waits for the next unit, which
// may start the next piece.
class Utf8Writer
{
public:
    // With breaksAsNewlines, each paragraph break (U+2029) becomes one '\n'.
    explicit Utf8Writer(char *out, bool breaksAsNewlines = false)
        : m_out(out)
        , m_breaksAsNewlines(breaksAsNewlines)
    {}
    char *end() const { return m_out; }

    // Runs of ASCII, four units at a time, up to the first other unit.
    const char16_t *ascii(const char16_t *p, const char16_t *end)
    {
        if (m_high)
            return p;
#if defined(__SSE2__)
        const __m128i nonAscii = _mm_set1_epi16(short(0xFF80));
        for (; end - p >= 8; p += 8, m_out += 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, nonAscii), _mm_setzero_si128())) != 0xFFFF)
                break;
            _mm_storel_epi64(reinterpret_cast<__m128i *>(m_out), _mm_packus_epi16(units, units));
        }
#endif
        for (std::uint64_t units; end - p >= 4; p += 4, m_out += 4) {
            std::memcpy(&units, p, sizeof units);
            if (units & 0xFF80FF80FF80FF80ULL)
                break;
            for (int i = 0; i < 4; ++i)
                m_out[i] = char(p[i]);
        }
        return p;
    }

    void put(char16_t c)
    {
        // Most of a note: letters of European scripts, and the rest of the basic plane.
        if (!m_high && !QChar::isSurrogate(c)) {
            if (c < 0x80) {
                *m_out++ = char(c);
            } else if (c < 0x800) {
                *m_out++ = char(0xC0 | (c >> 6));
                *m_out++ = char(0x80 | (c & 0x3F));
            } else if (c == paragraphBreak && m_breaksAsNewlines) {
                *m_out++ = '\n';
            } else {
                *m_out++ = char(0xE0 | (c >> 12));
                *m_out++ = char(0x80 | ((c >> 6) & 0x3F));
                *m_out++ = char(0x80 | (c & 0x3F));
            }
            return;
        }
        putSurrogate(c);
    }

    // A surrogate, or any unit after a high surrogate.
    void putSurrogate(char16_t c)
    {
        if (m_high) {
            const char16_t high = std::exchange(m_high, 0);
            if (QChar::isLowSurrogate(c)) {
                const char32_t code = QChar::surrogateToUcs4(high, c);
                *m_out++ = char(0xF0 | (code >> 18));
                *m_out++ = char(0x80 | ((code >> 12) & 0x3F));
                *m_out++ = char(0x80 | ((code >> 6) & 0x3F));
                *m_out++ = char(0x80 | (code & 0x3F));
                return;
            }
            *m_out++ = '?';
        }
        if (c < 0x80) {
            *m_out++ = char(c);
        } else if (c < 0x800) {
            *m_out++ = char(0xC0 | (c >> 6));
            *m_out++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c)) {
            m_high = c;
        } else if (QChar::isLowSurrogate(c)) {
            *m_out++ = '?';
        } else {
            *m_out++ = char(0xE0 | (c >> 12));
            *m_out++ = char(0x80 | ((c >> 6) & 0x3F));
            *m_out++ = char(0x80 | (c & 0x3F));
        }
    }

    void put(QStringView text)
    {
        const auto *p = reinterpret_cast<const char16_t *>(text.data());
        const char16_t *const end = p + text.size();
        while ((p = ascii(p, end)) < end)
            put(*p++);
    }

    void finish()
    {
        if (std::exchange(m_high, 0))
            *m_out++ = '?';
    }

private:
    char *m_out;
    bool m_breaksAsNewlines;
    char16_t m_high = 0;
};

} // namespace

QStringView text(Ending ending)
{
    static constexpr char16_t texts[kinds][3] = {u"\n", u"\r\n", u"\r", u"\u2029", u"\uFDD0", u"\uFDD1", u""};
    return QStringView(texts[int(ending)]);
}

namespace {

using BreakCounts = std::array<qsizetype, kinds>;

// The breaks of each kind that start in chars[from, to); text goes on to size.
BreakCounts countBreaks(const QChar *chars, qsizetype size, qsizetype from, qsizetype to)
{
    BreakCounts counts{};
    // The first unit not yet counted: the LF of a CRLF is part of the CR's break.
    qsizetype next = from;
    const auto countFrom = [&](qsizetype from, qsizetype end) {
        qsizetype at = std::max(from, next);
        while (at < end) {
            const Break b = breakAt(chars, size, at);
            if (b.length > 0)
                ++counts[int(b.ending)];
            at += std::max(b.length, 1);
        }
        next = std::max(at, end);
    };
    qsizetype i = from;
#ifdef __SSE2__
    // Runs over the whole note before its window shows: LF, CR and CRLF, nearly every break there is, are counted
    // sixteen units at a time; a stretch with any other break is looked at unit by unit.
    const auto mask = [](__m128i low, __m128i high) {
        return unsigned(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
    };
    const __m128i zero = _mm_setzero_si128();
    const auto otherBreak = [zero](__m128i c) {
        const __m128i control = _mm_cmpeq_epi16(_mm_subs_epu16(c, _mm_set1_epi16(0x0D)), zero);
        const __m128i separator = _mm_cmpeq_epi16(c, _mm_set1_epi16(0x2029));
        const __m128i marker =
            _mm_cmpeq_epi16(_mm_and_si128(c, _mm_set1_epi16(short(0xFFFE))), _mm_set1_epi16(short(0xFDD0)));
        return _mm_or_si128(control, _mm_or_si128(separator, marker));
    };
    const __m128i lf = _mm_set1_epi16(u'\n');
    const __m128i cr = _mm_set1_epi16(u'\r');
    for (; i + 17 <= to; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(chars + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(chars + i + 8));
        const unsigned lfs = mask(_mm_cmpeq_epi16(low, lf), _mm_cmpeq_epi16(high, lf));
        const unsigned crs = mask(_mm_cmpeq_epi16(low, cr), _mm_cmpeq_epi16(high, cr));
        const unsigned others = mask(otherBreak(low), otherBreak(high)) & ~(lfs | crs);
        if (others != 0) {
            countFrom(i, i + 16);
            continue;
        }
        if ((lfs | crs) == 0)
            continue;
        const unsigned lfsOn = lfs | (chars[i + 16] == u'\n' ? 0x10000U : 0U);
        const unsigned crlfs = crs & (lfsOn >> 1);
        const unsigned taken = (crlfs << 1) | (next > i ? 1U : 0U);
        counts[int(Ending::CrLf)] += std::popcount(crlfs);
        counts[int(Ending::Cr)] += std::popcount(crs & ~crlfs);
        counts[int(Ending::Lf)] += std::popcount(lfs & ~taken);
        next = i + ((crlfs & 0x8000U) != 0 ? 17 : 16);
    }
#endif
    countFrom(i, to);
    return counts;
}

} // namespace

Ending mostCommon(QStringView text)
{
    const QChar *chars = text.data();
    const qsizetype size = text.size();
    BreakCounts counts{};
    if (size < (4 << 20)) {
        counts = countBreaks(chars, size, 0, size);
    } else {
        // Counted before a long note's window shows: in halves, on two processors at once. A CRLF is not cut.
        qsizetype middle = size / 2;
        if (chars[middle - 1] == u'\r' && chars[middle] == u'\n')
            ++middle;
        BreakCounts secondHalf{};
        runSideBySide([&] { counts = countBreaks(chars, size, 0, middle); },
                      [&] { secondHalf = countBreaks(chars, size, middle, size); });
        for (int kind = 0; kind < kinds; ++kind)
            counts[kind] += secondHalf[kind];
    }
    return Ending(std::max_element(counts.begin(), counts.end()) - counts.begin());
}

Piece piece(const QString &text, qsizetype from, qsizetype budget)
{
    Piece result;
    const QChar *chars = text.constData();
    const qsizetype size = text.size();
    // Every break becomes one U+2029, as the document holds it; a text that needs no change is shared.
    if (budget >= size - from)
        result.shown.reserve(size - from);
    qsizetype copied = from;
    qsizetype run = 0;
    qsizetype i = from;
    while (i < size) {
        const Break b = breakAt(chars, size, i);
        if (b.length > 0) {
            result.endings.push_back(b.ending);
            if (b.length > 1 || chars[i] != QChar(paragraphBreak)) {
                result.shown.append(QStringView(chars + copied, i - copied));
                result.shown.append(QChar(paragraphBreak));
                copied = i + b.length;
            }
            i += b.length;
            run = 0;
        } else if (mayCut(chars, i, run)) {
            result.shown.append(QStringView(chars + copied, i - copied));
            result.shown.append(QChar(paragraphBreak));
            result.endings.push_back(Ending::Wrap);
            copied = i;
            run = 0;
        } else {
            ++i;
            ++run;
            continue;
        }
        if (i - from >= budget)
            break;
    }
    if (copied == 0 && i == size)
        result.shown = text; // shared, not copied
    else
        result.shown.append(QStringView(chars + copied, i - copied));
    result.end = i;
    return result;
}

QString noteText(QString raw, Ending defaultEnding, const std::vector<signed char> *endings)
{
    const QStringView view(raw);
    if (!endings) {
        const QStringView ending = text(defaultEnding);
        if (ending.size() == 1) {
            if (defaultEnding != Ending::ParagraphSeparator)
                raw.replace(QChar(paragraphBreak), ending.front());
            return raw;
        }
        // CRLF: grow the string where it lies and spread the text out from the back. Writing a second copy of a
        // big note costs more in fresh memory than the whole spreading does.
        const qsizetype breaks = view.count(QChar(paragraphBreak));
        if (breaks == 0)
            return raw;
        const qsizetype size = raw.size();
        raw.resize(size + breaks);
        QChar *data = raw.data();
        qsizetype end = size;
        qsizetype out = size + breaks;
        for (qsizetype at; end > 0 && (at = QStringView(data, end).lastIndexOf(QChar(paragraphBreak))) >= 0; end = at) {
            out -= end - (at + 1);
            std::memmove(data + out, data + at + 1, (end - (at + 1)) * sizeof(QChar));
            data[--out] = u'\n';
            data[--out] = u'\r';
        }
        return raw;
    }
    QString note;
    note.reserve(raw.size() + raw.size() / 32);
    qsizetype from = 0;
    std::size_t n = 0;
    for (qsizetype at; (at = view.indexOf(QChar(paragraphBreak), from)) >= 0; from = at + 1, ++n) {
        note.append(view.sliced(from, at - from));
        const signed char ending = n < endings->size() ? (*endings)[n] : -1;
        note.append(text(ending >= 0 ? Ending(ending) : defaultEnding));
    }
    note.append(view.sliced(from));
    return note;
}

namespace {

QByteArray utf8Of(QStringView text, bool raw)
{
    QByteArray bytes(text.size() * 3, Qt::Uninitialized);
    Utf8Writer writer(bytes.data(), raw);
    writer.put(text);
    writer.finish();
    bytes.truncate(writer.end() - bytes.constData());
    return bytes;
}

} // namespace

QByteArray rawBytes(QStringView raw)
{
    return utf8Of(raw, true);
}

ByteParts noteBytes(const QList<QByteArray> &raw, Ending defaultEnding, const std::vector<signed char> *endings,
                    QStringView rest)
{
    static constexpr std::string_view utf8Endings[kinds] = {"\n", "\r\n", "\r", "\u2029", "\uFDD0", "\uFDD1", ""};
    // Every break is one '\n' in the pieces: where each stays one, the pieces are the note's bytes as they are.
    if (!endings && defaultEnding == Ending::Lf) {
        ByteParts parts(raw);
        if (!rest.isEmpty())
            parts.parts.append(utf8Of(rest, false));
        return parts;
    }
    qsizetype size = rest.size() * 3;
    for (const QByteArray &piece : raw)
        size += piece.size() * 3;
    QByteArray bytes(size, Qt::Uninitialized);
    char *out = bytes.data();
    std::size_t n = 0;
    for (const QByteArray &piece : raw) {
        const char *p = piece.constData();
        const char *const end = p + piece.size();
        for (;;) {
            const auto *lineEnd = static_cast<const char *>(std::memchr(p, '\n', end - p));
            if (!lineEnd)
                break;
            std::memcpy(out, p, lineEnd - p);
            out += lineEnd - p;
            const signed char ending = endings && n < endings->size() ? (*endings)[n] : -1;
            ++n;
            const std::string_view text = utf8Endings[ending >= 0 ? ending : int(defaultEnding)];
            std::memcpy(out, text.data(), text.size());
            out += text.size();
            p = lineEnd + 1;
        }
        std::memcpy(out, p, end - p);
        out += end - p;
    }
    Utf8Writer writer(out);
    writer.put(rest);
    writer.finish();
    bytes.truncate(writer.end() - bytes.constData());
    return ByteParts(std::move(bytes));
}

} // namespace LineEndings
