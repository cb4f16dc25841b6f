#include "storage/notecodec.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>

namespace {

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
        const char32_t code = points[random.bounded(int(std::size(points)))];
        const QByteArray point = QString::fromUcs4(&code, 1).toUtf8();
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

class TestNoteCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The eight-byte skip over ASCII (its offsets are the random test's) stops at the size given, not past it.
    void staysWithinTheSizeGiven()
    {
        for (int run = 0; run < 24; ++run)
            QVERIFY(NoteCodec::isValid((QByteArray(run, 'a') + "\xff").constData(), run));
    }

    // The edges of the code space, which the random bytes below seldom or never reach.
    void judgesTheEdges_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("keeps: U+10FFFF, the last code point") << QByteArray("a\xf4\x8f\xbf\xbf") << true;
        QTest::newRow("rejects: U+110000 (F4 90 80 80)") << QByteArray("a\xf4\x90\x80\x80") << false;
        QTest::newRow("rejects: F4 BF BF BF") << QByteArray("\xf4\xbf\xbf\xbf") << false;
        QTest::newRow("rejects: lead byte F5") << QByteArray("\xf5\x80\x80\x80") << false;
    }
    void judgesTheEdges()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(NoteCodec::isValid(bytes), valid);
        QCOMPARE(NoteCodec::decode(bytes).has_value(), valid);
    }

    // Qt's decoder, which refuses the same ill-formed sequences, tells which bytes are UTF-8.
    void agreesWithQtsDecoder()
    {
        QRandomGenerator random(20261014);
        int valid = 0;
        for (int round = 0; round < 200000; ++round) {
            const QByteArray bytes = randomBytes(random);
            QStringDecoder reference(QStringConverter::Utf8,
                                     QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
            const QString text = reference(bytes);
            const auto hex = [&] {
                return QString::fromLatin1(bytes.toHex(' '));
            };
            QVERIFY2(NoteCodec::isValid(bytes) == !reference.hasError(), qPrintable(hex()));
            // Decoding checks in the same pass: it refuses exactly what isValid() refuses.
            QVERIFY2(NoteCodec::decode(bytes).has_value() == !reference.hasError(), qPrintable(hex()));
            if (reference.hasError())
                continue;
            ++valid;
            // A leading byte-order mark takes another way through the decoder, and stays.
            QVERIFY2(NoteCodec::decode("\xef\xbb\xbf" + bytes) == u'\uFEFF' + text, qPrintable(hex()));
        }
        // Both outcomes must be well represented, or the comparison proves little.
        QVERIFY(valid > 20000 && valid < 180000);
    }

    // A long note's breaks are counted in parts: one CRLF where they meet is still one CRLF, not a CR and an LF
    // (which would make LF the most common, and a save would change the note's endings).
    void aLongNotesCrlfIsCountedWhole()
    {
        const qsizetype size = 4'400'000, middle = size / 2;
        const QString text = QString(middle - 1, u'a') + u"\r\n"_qs + QString(size - middle - 1, u'a');
        QCOMPARE(int(LineEndings::mostCommon(text)), int(LineEndings::Ending::CrLf));
    }
};

QTEST_GUILESS_MAIN(TestNoteCodec)
#include "tst_notecodec.moc"
