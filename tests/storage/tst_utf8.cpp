#include "storage/utf8.h"

#include <QRandomGenerator>
#include <QTest>

#include <optional>
#include <vector>

namespace {

// The rule written out the slow, plain way: read a lead byte, take its continuation bytes, compute the code
// point, then refuse overlong forms, surrogates and values above U+10FFFF.
std::optional<std::vector<char32_t>> referenceDecode(const QByteArray &bytes)
{
    std::vector<char32_t> codePoints;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int length = 0;
        char32_t value = 0;
        char32_t smallest = 0;
        if (lead < 0x80) {
            length = 1, value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, value = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, value = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, value = lead & 0x07, smallest = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + length > bytes.size())
            return std::nullopt;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            value = (value << 6) | (next & 0x3F);
        }
        if (value < smallest || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
            return std::nullopt;
        codePoints.push_back(value);
        i += length;
    }
    return codePoints;
}

QByteArray encode(char32_t c)
{
    return QString::fromUcs4(&c, 1).toUtf8();
}

// Bytes that are often almost right: ASCII runs, encoded characters from every length class, raw bytes
// from the ranges around each boundary, and now and then a cut.
QByteArray randomBytes(QRandomGenerator &random)
{
    static const unsigned char edges[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                          0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xF7, 0xF8, 0xFF};
    static const char32_t points[] = {0x41,   0x7F,   0x80,   0xE9,   0x7FF,   0x800,   0xD7FF,
                                      0xE000, 0xFEFF, 0xFFFD, 0xFFFF, 0x10000, 0x1F331, 0x10FFFF};
    QByteArray bytes;
    const int pieces = random.bounded(1, 12);
    for (int n = 0; n < pieces; ++n) {
        const QByteArray point = encode(points[random.bounded(int(std::size(points)))]);
        const int kind = random.bounded(5);
        if (kind == 0)
            bytes += QByteArray(random.bounded(0, 20), 'a' + char(random.bounded(26)));
        else if (kind == 1)
            bytes += point;
        else if (kind == 2)
            bytes += char(edges[random.bounded(int(std::size(edges)))]);
        else if (kind == 3)
            bytes += char(random.bounded(256));
        else
            bytes += point.left(random.bounded(1, int(point.size()) + 1));
    }
    return bytes;
}

} // namespace

class TestUtf8 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The fast path reads eight bytes at a time, so the first non-ASCII byte must be found at any offset.
    void alignment_data()
    {
        QTest::addColumn<int>("offset");
        for (int offset = 0; offset < 16; ++offset)
            QTest::addRow("offset %d", offset) << offset;
    }
    void alignment()
    {
        QFETCH(int, offset);
        for (int run : {offset, 64 + offset}) {
            const QByteArray ascii(run, 'a');
            const QByteArray good = ascii + "\xc3\xa9" + ascii + "\xf0\x9f\x8c\xb1" + ascii;
            QVERIFY2(Utf8::isValid(good), "valid character after an ASCII run");
            QCOMPARE(Utf8::decode(good)->size(), 3 * run + 3);
            QVERIFY2(!Utf8::isValid(ascii + "\x80" + ascii), "lone continuation after an ASCII run");
            QVERIFY2(!Utf8::isValid(ascii + "\xc0\xaf" + ascii), "overlong after an ASCII run");
            QVERIFY2(!Utf8::isValid(ascii + "\xe2\x82"), "cut at the end after an ASCII run");
            QVERIFY2(!Utf8::isValid(good + ascii + "\xff" + ascii), "bad byte after valid text");
            // The bad byte must be found within the data given, not past it.
            const QByteArray tail = ascii + "\xff";
            QVERIFY(Utf8::isValid(tail.constData(), run));
        }
    }

    void agreesWithReference()
    {
        QRandomGenerator random(20261014);
        int valid = 0;
        for (int round = 0; round < 200000; ++round) {
            const QByteArray bytes = randomBytes(random);
            const auto expected = referenceDecode(bytes);
            const auto hex = [&] {
                return QString::fromLatin1(bytes.toHex(' '));
            };
            QVERIFY2(Utf8::isValid(bytes) == expected.has_value(), qPrintable(u"disagrees on "_qs + hex()));
            // Decoding checks in the same pass: it refuses exactly what isValid() refuses.
            QVERIFY2(Utf8::decode(bytes).has_value() == expected.has_value(),
                     qPrintable(u"decoder disagrees on "_qs + hex()));
            if (!expected)
                continue;
            ++valid;
            const QString text = QString::fromUcs4(expected->data(), qsizetype(expected->size()));
            QVERIFY2(Utf8::decode(bytes) == text, qPrintable(u"decodes wrongly: "_qs + hex()));
            // The same after a byte-order mark, which takes another way through the decoder.
            QVERIFY2(Utf8::decode("\xef\xbb\xbf" + bytes) == u'\uFEFF' + text,
                     qPrintable(u"wrong after a mark: "_qs + hex()));
        }
        // Both outcomes must be well represented, or the comparison proves little.
        QVERIFY(valid > 20000);
        QVERIFY(valid < 180000);
    }
};

QTEST_GUILESS_MAIN(TestUtf8)
#include "tst_utf8.moc"
