#include "editor/lineendings.h"

#include <algorithm>
#include <array>
#include <cstring>

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

} // namespace

QStringView text(Ending ending)
{
    static constexpr char16_t texts[kinds][3] = {u"\n", u"\r\n", u"\r", u"\u2029", u"\uFDD0", u"\uFDD1", u""};
    return QStringView(texts[int(ending)]);
}

Ending mostCommon(QStringView text)
{
    std::array<qsizetype, kinds> counts{};
    const QChar *chars = text.data();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const Break b = breakAt(chars, size, i);
        if (b.length == 0)
            continue;
        ++counts[int(b.ending)];
        i += b.length - 1;
    }
    return Ending(std::max_element(counts.begin(), counts.end()) - counts.begin());
}

Piece piece(const QString &text, qsizetype from, qsizetype budget)
{
    Piece result;
    const QChar *chars = text.constData();
    const qsizetype size = text.size();
    // The text document takes the note's own endings as breaks; only the cuts of long lines are added.
    qsizetype copied = from;
    qsizetype run = 0;
    qsizetype i = from;
    while (i < size) {
        const Break b = breakAt(chars, size, i);
        if (b.length > 0) {
            result.endings.push_back(b.ending);
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

} // namespace LineEndings
