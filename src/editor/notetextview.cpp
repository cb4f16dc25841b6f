#include "editor/notetextview.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <array>
#include <vector>

namespace {

// Character format property of a paragraph break holding the note's ending there; absent means the note's default
// ending. It rides on the break character itself, so deleting, undoing and redoing carry it exactly.
constexpr int endingProperty = QTextFormat::UserProperty + 0x2029;
constexpr char16_t paragraphBreak = 0x2029;
constexpr int caretWidth = 2;
constexpr qreal textMargin = 5;
constexpr int endingKinds = 6;

// The ending that starts at text[i] and its length in UTF-16 units, or length 0 when there is none. These are
// exactly the characters the text document turns into a paragraph break.
struct Break
{
    NoteTextView::LineEnding ending = NoteTextView::LineEnding::Lf;
    int length = 0;
};

inline Break breakAt(const QChar *text, qsizetype size, qsizetype i)
{
    using E = NoteTextView::LineEnding;
    const char16_t c = text[i].unicode();
    if (c > u'\r' && c < paragraphBreak)
        return {};
    switch (c) {
    case u'\n':
        return {E::Lf, 1};
    case u'\r':
        if (i + 1 < size && text[i + 1] == u'\n')
            return {E::CrLf, 2};
        return {E::Cr, 1};
    case paragraphBreak:
        return {E::ParagraphSeparator, 1};
    case 0xFDD0:
        return {E::Fdd0, 1};
    case 0xFDD1:
        return {E::Fdd1, 1};
    default:
        return {};
    }
}

QStringView endingText(NoteTextView::LineEnding ending)
{
    static constexpr char16_t texts[endingKinds][3] = {u"\n", u"\r\n", u"\r", u"\u2029", u"\uFDD0", u"\uFDD1"};
    return QStringView(texts[int(ending)]);
}

} // namespace

NoteTextView::NoteTextView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setUndoRedoEnabled(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDocumentMargin(textMargin);
    // Qt paints the caret in the text colour; this view paints its own.
    setCursorWidth(0);

    connect(document(), &QTextDocument::contentsChange, this, &NoteTextView::onContentsChange);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &NoteTextView::restartCaretBlink);
    connect(&m_caretBlink, &QTimer::timeout, this, &NoteTextView::toggleCaret);
}

NoteTextView::~NoteTextView() = default;

QColor NoteTextView::caretColor()
{
    return QColor(0xD9, 0x66, 0x8F);
}

QString NoteTextView::text() const
{
    return withEndings(document()->toRawText(), document()->begin());
}

void NoteTextView::setText(const QString &text)
{
    // The ending before each paragraph after the first, as the text document will split the text.
    std::vector<LineEnding> endings;
    std::array<qsizetype, endingKinds> counts{};
    const QChar *chars = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const Break b = breakAt(chars, size, i);
        if (b.length == 0)
            continue;
        endings.push_back(b.ending);
        ++counts[int(b.ending)];
        i += b.length - 1;
    }
    const auto most = std::max_element(counts.begin(), counts.end());
    const auto defaultEnding = LineEnding(most - counts.begin());

    const QScopedValueRollback settingText(m_settingText, true);
    m_defaultEnding = defaultEnding;
    m_mixedEndings = false;
    // Qt gives the new text the caret's character format, which may carry an ending of the old text.
    setTextCursor(QTextCursor(document()));
    setCurrentCharFormat(QTextCharFormat());
    setPlainText(text);
    if (qsizetype(endings.size()) != *most) {
        // Formatting with undo off keeps the history empty, as after any new text.
        QTextDocument *doc = document();
        const bool undo = doc->isUndoRedoEnabled();
        doc->setUndoRedoEnabled(false);
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        QTextBlock block = doc->begin();
        for (const LineEnding ending : endings) {
            block = block.next();
            if (ending == defaultEnding)
                continue;
            cursor.setPosition(block.position() - 1);
            cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(breakFormat(QTextCharFormat(), ending));
        }
        cursor.endEditBlock();
        doc->setUndoRedoEnabled(undo);
    }
}

qsizetype NoteTextView::textLength() const
{
    const QTextDocument *doc = document();
    const qsizetype chars = doc->characterCount() - 1;
    if (!m_mixedEndings)
        return chars + (m_defaultEnding == LineEnding::CrLf ? doc->blockCount() - 1 : 0);
    const QList<signed char> endings = endingsByFormat();
    qsizetype crlfs = 0;
    for (QTextBlock block = doc->begin().next(); block.isValid(); block = block.next())
        crlfs += endingBefore(block, endings) == LineEnding::CrLf;
    return chars + crlfs;
}

QList<NoteTextView::Range> NoteTextView::selectedRanges() const
{
    return {selectedRange()};
}

void NoteTextView::setSelectedRanges(const QList<Range> &ranges)
{
    // The view holds one selection; the first range is the one the note's selection starts with.
    if (!ranges.isEmpty())
        setSelectedRange(ranges.first());
}

NoteTextView::Range NoteTextView::selectedRange() const
{
    const QTextCursor cursor = textCursor();
    const auto [start, end] = noteFromDocument(cursor.selectionStart(), cursor.selectionEnd());
    return {start, end - start};
}

void NoteTextView::setSelectedRange(Range range)
{
    // Mapping clamps past the end, so a range reaching beyond the text ends where the text does.
    const qsizetype location = std::max<qsizetype>(range.location, 0);
    const qsizetype length = std::clamp<qsizetype>(range.length, 0, std::numeric_limits<qsizetype>::max() - location);
    const auto [start, end] = documentFromNote(location, location + length);
    QTextCursor cursor(document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void NoteTextView::pasteAsPlainText(QObject *)
{
    paste();
}

void NoteTextView::deleteSelection(QObject *)
{
    QTextCursor cursor = textCursor();
    if (isReadOnly() || !cursor.hasSelection())
        return;
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

bool NoteTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return source && source->hasText();
}

QMimeData *NoteTextView::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    auto *mime = new QMimeData;
    mime->setText(withEndings(cursor.selectedText(), document()->findBlock(cursor.selectionStart())));
    return mime;
}

void NoteTextView::insertFromMimeData(const QMimeData *source)
{
    // Only the plain text of rich content: a note holds characters, never formatting.
    if (!source || !source->hasText() || isReadOnly())
        return;
    const QString text = source->text();
    if (text.isEmpty())
        return;
    QTextCursor cursor = textCursor();
    insertNoteText(cursor, text);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void NoteTextView::keyPressEvent(QKeyEvent *event)
{
    // A new line gets the note's ending. Shift+Return too: Qt would insert a line separator, which the note
    // would then keep as an unusual character.
    if (!isReadOnly() &&
        (event->matches(QKeySequence::InsertParagraphSeparator) || event->matches(QKeySequence::InsertLineSeparator))) {
        QTextCursor cursor = textCursor();
        cursor.insertBlock(cursor.blockFormat(), breakFormat(cursor.charFormat(), m_defaultEnding));
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void NoteTextView::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (!m_caretOn || !hasFocus() || isReadOnly())
        return;
    QPainter painter(viewport());
    painter.fillRect(caretRect(), caretColor());
}

void NoteTextView::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    restartCaretBlink();
}

void NoteTextView::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    m_caretBlink.stop();
    updateCaret();
}

void NoteTextView::onContentsChange(int, int charsRemoved, int charsAdded)
{
    if (m_settingText || (charsRemoved == 0 && charsAdded == 0))
        return;
    Q_EMIT textEdited();
}

void NoteTextView::insertNoteText(QTextCursor &cursor, QStringView text)
{
    // One edit block: one undo step and one change signal for the whole insertion.
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QChar *chars = text.data();
    const qsizetype size = text.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const Break b = breakAt(chars, size, i);
        if (b.length == 0)
            continue;
        if (i > from)
            cursor.insertText(text.sliced(from, i - from).toString());
        cursor.insertBlock(cursor.blockFormat(), breakFormat(cursor.charFormat(), b.ending));
        i += b.length - 1;
        from = i + 1;
    }
    if (from < size)
        cursor.insertText(text.sliced(from).toString());
    cursor.endEditBlock();
}

QTextCharFormat NoteTextView::breakFormat(QTextCharFormat format, LineEnding ending)
{
    if (ending == m_defaultEnding) {
        format.clearProperty(endingProperty);
    } else {
        format.setProperty(endingProperty, int(ending));
        m_mixedEndings = true;
    }
    return format;
}

QList<signed char> NoteTextView::endingsByFormat() const
{
    const QList<QTextFormat> formats = document()->allFormats();
    QList<signed char> endings(formats.size(), -1);
    for (qsizetype i = 0; i < formats.size(); ++i) {
        const QVariant value = formats.at(i).property(endingProperty);
        if (value.isValid())
            endings[i] = static_cast<signed char>(value.toInt());
    }
    return endings;
}

NoteTextView::LineEnding NoteTextView::endingBefore(const QTextBlock &block, const QList<signed char> &endings) const
{
    // The character format of a block is that of the break before it.
    const int index = block.charFormatIndex();
    if (index >= 0 && index < endings.size() && endings.at(index) >= 0)
        return LineEnding(endings.at(index));
    return m_defaultEnding;
}

QString NoteTextView::withEndings(QString raw, QTextBlock block) const
{
    const QStringView view(raw);
    if (!m_mixedEndings) {
        const QStringView ending = endingText(m_defaultEnding);
        if (ending.size() == 1) {
            if (m_defaultEnding != LineEnding::ParagraphSeparator)
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
    const QList<signed char> endings = endingsByFormat();
    QString note;
    note.reserve(raw.size() + raw.size() / 32);
    qsizetype from = 0;
    for (qsizetype at; (at = view.indexOf(QChar(paragraphBreak), from)) >= 0; from = at + 1) {
        note.append(view.sliced(from, at - from));
        block = block.next();
        note.append(endingText(endingBefore(block, endings)));
    }
    note.append(view.sliced(from));
    return note;
}

NoteTextView::NotePositions NoteTextView::noteFromDocument(int first, int second) const
{
    const QTextDocument *doc = document();
    if (!m_mixedEndings) {
        if (m_defaultEnding != LineEnding::CrLf)
            return {first, second};
        return {first + doc->findBlock(first).blockNumber(), second + doc->findBlock(second).blockNumber()};
    }
    // One pass over the paragraphs, counting the CRLFs before each position.
    const QList<signed char> endings = endingsByFormat();
    const std::array<int, 2> positions{first, second};
    NotePositions note{};
    std::size_t resolved = 0;
    qsizetype crlfs = 0;
    int blockStart = 0;
    for (QTextBlock block = doc->begin();;) {
        const QTextBlock next = block.next();
        const int nextStart = blockStart + block.length();
        while (resolved < positions.size() && (!next.isValid() || positions[resolved] < nextStart)) {
            note[resolved] = positions[resolved] + crlfs;
            ++resolved;
        }
        if (resolved == positions.size())
            return note;
        crlfs += endingBefore(next, endings) == LineEnding::CrLf;
        blockStart = nextStart;
        block = next;
    }
}

NoteTextView::DocumentPositions NoteTextView::documentFromNote(qsizetype first, qsizetype second) const
{
    // Positions past the end go to the end; a position between CR and LF goes before the break.
    const QTextDocument *doc = document();
    const int last = doc->characterCount() - 1;
    if (!m_mixedEndings && m_defaultEnding != LineEnding::CrLf)
        return {int(std::min<qsizetype>(first, last)), int(std::min<qsizetype>(second, last))};
    if (!m_mixedEndings) {
        // Every break is CRLF: paragraph n starts n units later in the note than in the document.
        const auto map = [doc](qsizetype position) {
            int low = 0;
            int high = doc->blockCount() - 1;
            while (low < high) {
                const int middle = (low + high + 1) / 2;
                if (doc->findBlockByNumber(middle).position() + middle <= position)
                    low = middle;
                else
                    high = middle - 1;
            }
            const QTextBlock block = doc->findBlockByNumber(low);
            return block.position() + int(std::min<qsizetype>(position - block.position() - low, block.length() - 1));
        };
        return {map(first), map(second)};
    }
    const QList<signed char> endings = endingsByFormat();
    const std::array<qsizetype, 2> positions{first, second};
    DocumentPositions result{};
    std::size_t resolved = 0;
    qsizetype noteStart = 0;
    int blockStart = 0;
    for (QTextBlock block = doc->begin();;) {
        const QTextBlock next = block.next();
        const qsizetype textLength = block.length() - 1;
        const qsizetype nextStart = next.isValid()
                                        ? noteStart + textLength + endingText(endingBefore(next, endings)).size()
                                        : std::numeric_limits<qsizetype>::max();
        while (resolved < positions.size() && positions[resolved] < nextStart) {
            result[resolved] = blockStart + int(std::min(positions[resolved] - noteStart, textLength));
            ++resolved;
        }
        if (resolved == positions.size())
            return result;
        noteStart = nextStart;
        blockStart += block.length();
        block = next;
    }
}

void NoteTextView::restartCaretBlink()
{
    m_caretOn = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flashTime > 0)
        m_caretBlink.start(flashTime / 2);
    else
        m_caretBlink.stop();
    updateCaret();
}

void NoteTextView::toggleCaret()
{
    m_caretOn = !m_caretOn;
    updateCaret();
}

void NoteTextView::updateCaret()
{
    viewport()->update(m_drawnCaret);
    m_drawnCaret = caretRect();
    viewport()->update(m_drawnCaret);
}

QRect NoteTextView::caretRect() const
{
    const QRect cursor = cursorRect();
    return QRect(cursor.left(), cursor.top(), caretWidth, cursor.height());
}

void NoteTextView::setContextMenuExtender(ContextMenuExtender extender)
{
    m_contextMenuExtender = std::move(extender);
}

void NoteTextView::contextMenuEvent(QContextMenuEvent *event)
{
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    if (m_contextMenuExtender)
        m_contextMenuExtender(menu.get(), event->pos());
    menu->exec(event->globalPos());
}
