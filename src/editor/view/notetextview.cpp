#include "editor/view/notetextview.h"

#include "editor/view/notecaret.h"
#include "framework/startuptrace.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

constexpr qreal textMargin = 5;
// A big note shows this much at once, more than a screen; the loader brings the rest.
constexpr qsizetype firstPart = 64 * 1024;

using LineEndings::Break;
using LineEndings::breakAt;

// The start of the character (grapheme) that holds a document position.
int characterStart(const QTextDocument *doc, int position)
{
    const QTextBlock block = doc->findBlock(position);
    const int inBlock = position - block.position();
    if (!block.isValid() || inBlock <= 0 || inBlock >= block.length() - 1)
        return position;
    const QString text = block.text();
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    graphemes.setPosition(inBlock);
    if (graphemes.isAtBoundary())
        return position;
    return block.position() + int(std::max<qsizetype>(graphemes.toPreviousBoundary(), 0));
}

} // namespace

NoteTextView::NoteTextView(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_breaks(document())
{
    setFrameShape(QFrame::NoFrame);
    setUndoRedoEnabled(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDocumentMargin(textMargin);

    m_loader = new NoteLoader([this](const LineEndings::Piece &part) { appendPart(part); }, this);
    connect(m_loader, &NoteLoader::loaded, this, [this] {
        hashLoaded(true);
        Q_EMIT loaded();
    });
    connect(document(), &QTextDocument::contentsChange, this, &NoteTextView::onContentsChange);
    m_caret = new NoteCaret(this);
}

NoteTextView::~NoteTextView() = default;

QString NoteTextView::text() const
{
    QString note = m_breaks.withEndings(document()->toRawText(), document()->begin());
    if (isLoading())
        note.append(QStringView(m_loader->pending()).sliced(m_loader->pendingFrom()));
    return note;
}

void NoteTextView::setText(const QString &text)
{
    // What the user did while the note loaded goes into the text it was done to; the new text keeps it for Undo.
    // What was done while the view waited for its note goes into the note.
    if (m_loader->holdsEdits() && !m_loader->isAwaiting())
        finishLoading();
    const QScopedValueRollback settingText(m_settingText, true);
    m_breaks.defaultEnding = LineEndings::mostCommon(text);
    m_breaks.mixedEndings = false;
    // Qt gives the new text the caret's character format, which may carry an ending of the old text.
    setTextCursor(QTextCursor(document()));
    setCurrentCharFormat(QTextCharFormat());
    const LineEndings::Piece first = LineEndings::piece(text, 0, firstPart);
    m_loadDigest = std::make_unique<ContentDigest>();
    m_loadHashed = 0;
    {
        const QScopedValueRollback incoming(m_incoming, &first.shown);
        setPlainText(first.shown);
    }
    markEndings(document()->begin(), first.endings);
    hashLoaded(false);
    m_loader->start(text, first.end);
}

void NoteTextView::finishLoading()
{
    m_loader->finish();
}

void NoteTextView::appendPart(const LineEndings::Piece &part)
{
    const QScopedValueRollback settingText(m_settingText, true);
    // Loading is no edit of the user's: nothing to undo. Edits wait for the load to end (NoteLoader holds them), so
    // there is no history yet to lose.
    QTextDocument *doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    const bool modified = doc->isModified();
    doc->setUndoRedoEnabled(false);
    // The caret stays where the user put it, also at the end of the text shown so far.
    const int anchor = textCursor().anchor();
    const int position = textCursor().position();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    const QTextBlock start = cursor.block();
    cursor.setCharFormat(QTextCharFormat());
    {
        const QScopedValueRollback incoming(m_incoming, &part.shown);
        cursor.insertText(part.shown);
    }
    markEndings(start, part.endings);
    hashLoaded(false);
    doc->setUndoRedoEnabled(undo);
    // Undo back to the text the file holds then leaves the note unedited.
    doc->setModified(modified);
    if (textCursor().anchor() != anchor || textCursor().position() != position) {
        QTextCursor kept(doc);
        kept.setPosition(anchor);
        kept.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(kept);
    }
}

void NoteTextView::markEndings(QTextBlock block, const std::vector<LineEnding> &endings)
{
    if (std::all_of(endings.begin(), endings.end(), [this](LineEnding e) { return e == m_breaks.defaultEnding; }))
        return;
    // Formatting with undo off keeps the history empty, as after any new text.
    QTextDocument *doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (const LineEnding ending : endings) {
        block = block.next();
        if (ending == m_breaks.defaultEnding)
            continue;
        cursor.setPosition(block.position() - 1);
        cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(m_breaks.breakFormat(QTextCharFormat(), ending));
    }
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undo);
}

qsizetype NoteTextView::textLength() const
{
    return m_breaks.length(isLoading() ? m_loader->pending().size() - m_loader->pendingFrom() : 0);
}

NoteTextView::Snapshot NoteTextView::snapshot() const
{
    Snapshot snapshot;
    snapshot.text = m_mirror;
    snapshot.defaultEnding = m_breaks.defaultEnding;
    snapshot.mixedEndings = m_breaks.mixedEndings;
    if (m_breaks.mixedEndings)
        snapshot.endings = m_breaks.breakEndings(document()->begin(), document()->blockCount() - 1);
    if (isLoading()) {
        snapshot.pending = m_loader->pending();
        snapshot.pendingFrom = m_loader->pendingFrom();
    }
    return snapshot;
}

ByteParts NoteTextView::Snapshot::bytes() const
{
    return LineEndings::noteBytes(text.pieces(), defaultEnding, mixedEndings ? &endings : nullptr,
                                  QStringView(pending).sliced(pendingFrom));
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
    const auto [start, end] = m_breaks.noteFromDocument(cursor.selectionStart(), cursor.selectionEnd());
    return {start, end - start};
}

void NoteTextView::setSelectedRange(Range range)
{
    // Mapping clamps past the end, so a range reaching beyond the text ends where the text does.
    const qsizetype location = std::max<qsizetype>(range.location, 0);
    const qsizetype length = std::clamp<qsizetype>(range.length, 0, std::numeric_limits<qsizetype>::max() - location);
    const auto [start, end] = m_breaks.documentFromNote(location, location + length);
    // A range kept across a change of the text (a reload) may fall inside a character now: typing there would
    // split it in two halves that no file can hold.
    QTextCursor cursor(document());
    cursor.setPosition(characterStart(document(), start));
    cursor.setPosition(characterStart(document(), end), QTextCursor::KeepAnchor);
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
    mime->setText(m_breaks.withEndings(cursor.selectedText(), document()->findBlock(cursor.selectionStart())));
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
    if (!isReadOnly() && m_breaks.mixedEndings &&
        ((event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier) && deleteAcrossCut(false)) ||
         (event->matches(QKeySequence::Delete) && deleteAcrossCut(true)))) {
        event->accept();
        return;
    }
    // A new line gets the note's ending. Shift+Return too: Qt would insert a line separator, which the note
    // would then keep as an unusual character.
    if (!isReadOnly() &&
        (event->matches(QKeySequence::InsertParagraphSeparator) || event->matches(QKeySequence::InsertLineSeparator))) {
        QTextCursor cursor = textCursor();
        insertLineBreak(cursor);
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void NoteTextView::insertLineBreak(QTextCursor &cursor)
{
    cursor.insertBlock(cursor.blockFormat(), m_breaks.breakFormat(cursor.charFormat(), m_breaks.defaultEnding));
}

bool NoteTextView::deleteAcrossCut(bool forward)
{
    QTextCursor cursor = textCursor();
    const QTextBlock block = cursor.block();
    const QTextBlock after = forward ? block.next() : block;
    if (cursor.hasSelection() || !after.isValid() || after == document()->begin() ||
        (forward ? !cursor.atBlockEnd() : !cursor.atBlockStart()) ||
        m_breaks.endingBefore(after, m_breaks.endingsByFormat()) != LineEnding::Wrap)
        return false;
    cursor.beginEditBlock();
    if (forward) {
        cursor.deleteChar();
        cursor.deleteChar();
    } else {
        cursor.deletePreviousChar();
        cursor.deletePreviousChar();
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    return true;
}

void NoteTextView::onContentsChange(int position, int charsRemoved, int charsAdded)
{
    followInMirror(position, charsAdded);
    if (m_settingText || (charsRemoved == 0 && charsAdded == 0))
        return;
    Q_EMIT textEdited();
}

void NoteTextView::followInMirror(int position, int charsAdded)
{
    // Qt counts the document's closing paragraph break into some changes (a new whole text): the sizes before
    // and after say how much really went.
    QTextDocument *doc = document();
    const qsizetype size = doc->characterCount() - 1;
    const qsizetype added = std::clamp<qsizetype>(charsAdded, 0, std::max<qsizetype>(size - position, 0));
    const qsizetype removed = m_mirror.size() + added - size;
    const bool given = m_incoming && m_incoming->size() == added;
    QString read;
    if (!given) {
        QTextCursor cursor(doc);
        cursor.setPosition(position);
        cursor.setPosition(int(position + added), QTextCursor::KeepAnchor);
        read = cursor.selectedText();
    }
    if (!m_mirror.replace(position, removed, given ? QStringView(*m_incoming) : QStringView(read))) {
        m_mirror.reset(doc->toRawText());
        m_loadDigest.reset();
    }
}

void NoteTextView::hashLoaded(bool whole)
{
    if (!m_loadDigest)
        return;
    // The last piece may still grow with the next part.
    const qsizetype done = m_mirror.pieceCount() - (whole ? 0 : 1);
    for (; m_loadHashed < done; ++m_loadHashed)
        m_loadDigest->add(m_mirror.piece(m_loadHashed));
}

std::vector<ContentDigest::BlockHash> NoteTextView::shownBlocks() const
{
    return m_loadDigest && m_loadHashed == m_mirror.pieceCount() ? m_loadDigest->blocks()
                                                                 : std::vector<ContentDigest::BlockHash>();
}

void NoteTextView::insertNoteText(QTextCursor &cursor, const QString &text)
{
    // One edit block: one undo step and one change signal for the whole insertion. A long line is cut as when
    // a note is opened.
    const LineEndings::Piece piece = LineEndings::piece(text, 0, std::numeric_limits<qsizetype>::max());
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QChar *chars = piece.shown.constData();
    const qsizetype size = piece.shown.size();
    qsizetype from = 0;
    std::size_t n = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const Break b = breakAt(chars, size, i);
        if (b.length == 0)
            continue;
        if (i > from)
            cursor.insertText(piece.shown.sliced(from, i - from));
        cursor.insertBlock(cursor.blockFormat(), m_breaks.breakFormat(cursor.charFormat(), piece.endings.at(n++)));
        i += b.length - 1;
        from = i + 1;
    }
    if (from < size)
        cursor.insertText(piece.shown.sliced(from));
    cursor.endEditBlock();
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

void NoteTextView::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    StartupTrace::firstPaint();
    // Qt's caret is on (-1: off, or hidden in its blink; below: inside text being composed).
    if (hasFocus() && !isReadOnly() && getPaintContext().cursorPosition != -1) {
        QPainter painter(viewport());
        m_caret->paint(painter);
    }
}
