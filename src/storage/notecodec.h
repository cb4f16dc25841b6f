#pragma once

#include "framework/byteparts.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// A note's bytes, one way in and one way out: the UTF-8 rule that reading and writing share, and how the note's
// lines end and become the text of the window's text document and back.

// The one rule for note files: bytes are accepted exactly when they are well-formed UTF-8 (shortest forms, no
// surrogates, nothing above U+10FFFF, nothing cut short). No fallback, no repair.
namespace NoteCodec {

bool isValid(const char *data, qsizetype size);
inline bool isValid(const QByteArray &bytes)
{
    return isValid(bytes.constData(), bytes.size());
}

// The text of valid bytes (a leading byte-order mark stays in the text), or none.
std::optional<QString> decode(const QByteArray &bytes);
// The UTF-8 of a note's text, nothing added: what every write of a note and the window's mirror of it hold.
QByteArray encode(QStringView text);

} // namespace NoteCodec

// How a note's lines end, and how its text becomes the text of a text document and back. The text document
// holds every line break as one paragraph break (U+2029 in its raw text).
namespace LineEndings {

enum class Ending : signed char
{
    Lf,
    CrLf,
    Cr,
    ParagraphSeparator,
    // Two noncharacters the text document also takes as a break (its frame markers).
    Fdd0,
    Fdd1,
    // No character at all: a break the view puts into a very long line so that an edit lays out a few
    // thousand characters, not the whole line.
    Wrap,
};
constexpr int kinds = 7;

// The ending that starts at text[i] and its length in UTF-16 units, or length 0 when there is none. These are
// exactly the characters the text document turns into a paragraph break.
struct Break
{
    Ending ending = Ending::Lf;
    int length = 0;
};

inline Break breakAt(const QChar *text, qsizetype size, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c > u'\r' && c < 0x2029)
        return {};
    switch (c) {
    case u'\n':
        return {Ending::Lf, 1};
    case u'\r':
        if (i + 1 < size && text[i + 1] == u'\n')
            return {Ending::CrLf, 2};
        return {Ending::Cr, 1};
    case 0x2029:
        return {Ending::ParagraphSeparator, 1};
    case 0xFDD0:
        return {Ending::Fdd0, 1};
    case 0xFDD1:
        return {Ending::Fdd1, 1};
    default:
        return {};
    }
}

QStringView text(Ending ending);

// The most common ending of text, Lf when it has none.
Ending mostCommon(QStringView text);

// A stretch of a note made ready for the text document: its raw text, as the document will hold it (every break, the
// note's own and the cuts of long lines, one U+2029), and the ending of each break in order.
struct Piece
{
    QString shown;
    std::vector<Ending> endings;
    // Where in the note the next piece starts.
    qsizetype end = 0;
};
// The piece of text from `from`, ending after a line break (or a cut of a long line) once it holds at least
// `budget` units, or at the end of the text. A piece always starts a fresh line.
Piece piece(const QString &text, qsizetype from, qsizetype budget);

// The note's text for raw document text: each U+2029 becomes the default ending, or, where endings is given, the
// ending of that break (endings[n] for the n-th break, -1 for the default).
QString noteText(QString raw, Ending defaultEnding, const std::vector<signed char> *endings = nullptr);

// Raw document text in UTF-8 with each paragraph break as one '\n', which raw text holds no other way: a note
// whose lines all end in LF is then its pieces end to end.
QByteArray rawBytes(QStringView raw);

// The UTF-8 of noteText() for raw text held in rawBytes() pieces of whole characters, followed by the note text
// rest as it is, in one pass. Where every break stays one '\n', the pieces themselves are the parts, not copied. A
// lone surrogate in rest becomes '?', as in QString::toUtf8().
ByteParts noteBytes(const QList<QByteArray> &raw, Ending defaultEnding, const std::vector<signed char> *endings,
                    QStringView rest);

} // namespace LineEndings
