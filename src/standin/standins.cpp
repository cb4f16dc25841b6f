// TEMPORARY stand-ins for pieces other developers are writing; deleted before this branch is finished.
#include "editor/notetextview.h"
#include "editor/wordcounter.h"
#include "storage/utf8.h"

#include <QFile>
#include <QMessageBox>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

#include <memory>

namespace Utf8 {
bool isValid(const char *data, qsizetype size)
{
    return decode(QByteArray(data, size)).has_value();
}
std::optional<QString> decode(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
} // namespace Utf8

int WordCounter::count(QStringView text)
{
    int words = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text.toString());
    qsizetype start = 0;
    while (finder.toNextBoundary() >= 0) {
        const qsizetype end = finder.position();
        for (qsizetype i = start; i < end; ++i)
            if (text[i].isLetterOrNumber()) {
                ++words;
                break;
            }
        start = end;
    }
    return words;
}
static QHash<const WordCounter *, std::pair<QTextDocument *, int>> counters;
WordCounter::WordCounter(QTextDocument *document, QObject *parent)
    : QObject(parent)
{
    counters[this] = {document, 0};
    recountAll();
    connect(document, &QTextDocument::contentsChanged, this, &WordCounter::recountAll);
}
WordCounter::~WordCounter()
{
    counters.remove(this);
}
int WordCounter::total() const
{
    return counters[this].second;
}
void WordCounter::recountAll()
{
    auto &entry = counters[this];
    entry.second = count(entry.first->toPlainText());
    Q_EMIT totalChanged(entry.second);
}

static QHash<const NoteTextView *, bool> programmatic;
NoteTextView::NoteTextView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!programmatic.value(this))
            Q_EMIT textEdited();
    });
}
NoteTextView::~NoteTextView()
{
    programmatic.remove(this);
}
QString NoteTextView::text() const
{
    return toPlainText();
}
void NoteTextView::setText(const QString &text)
{
    programmatic[this] = true;
    setPlainText(text);
    programmatic[this] = false;
}
qsizetype NoteTextView::textLength() const
{
    return text().size();
}
QList<NoteTextView::Range> NoteTextView::selectedRanges() const
{
    return {selectedRange()};
}
void NoteTextView::setSelectedRanges(const QList<Range> &ranges)
{
    if (!ranges.isEmpty())
        setSelectedRange(ranges.first());
}
NoteTextView::Range NoteTextView::selectedRange() const
{
    const QTextCursor c = textCursor();
    return {c.selectionStart(), c.selectionEnd() - c.selectionStart()};
}
void NoteTextView::setSelectedRange(Range range)
{
    QTextCursor c = textCursor();
    c.setPosition(range.location);
    c.setPosition(range.location + range.length, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

