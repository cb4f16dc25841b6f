#pragma once

#include "editor/view/breakmap.h"
#include "editor/view/noteloader.h"
#include "storage/notecodec.h"
#include "editor/view/textmirror.h"
#include "framework/contentdigest.h"

#include <QPlainTextEdit>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class NoteCaret;
class QTextBlock;

// The note's text view. Keeps the note's characters exactly (line endings as they are in the file, no-break
// spaces, line and paragraph separators, NUL), pastes plain text only and draws the caret in the note colour.
// Ranges count UTF-16 units of the note's text, as they are in the file's decoded text.
//
// The text document holds every line break as one paragraph break; the note's ending there (LF, CRLF, CR, U+2029)
// rides on the break's character format, so deleting, undo and redo keep it with the break. Read and replace the
// note with text() and setText(), never with toPlainText() and setPlainText(), which lose those characters.
//
// A very long line is held as several paragraphs joined by breaks that stand for no character, so that an edit
// lays out a few thousand characters instead of the whole line. A big note is put into the view a part at a time
// from the event loop, the first screen at once; text() and snapshot() hold the whole note meanwhile.
class NoteTextView : public QPlainTextEdit
{
    Q_OBJECT

public:
    struct Range
    {
        qsizetype location = 0;
        qsizetype length = 0;
        bool operator==(const Range &) const = default;
    };

    using LineEnding = LineEndings::Ending;

    // The whole text at one moment, taken in about no time and turned into the note's bytes on any thread.
    struct Snapshot
    {
        // Shared with the view's until it changes: the pieces are not even counted on the window's thread.
        TextMirror text;
        LineEnding defaultEnding = LineEnding::Lf;
        bool mixedEndings = false;
        std::vector<signed char> endings;
        // Text not yet in the view, from pendingFrom on.
        QString pending;
        qsizetype pendingFrom = 0;

        // The UTF-8 of the note's text, as it is written to the file.
        ByteParts bytes() const;
    };

    explicit NoteTextView(QWidget *parent = nullptr);
    ~NoteTextView() override;

    // The note's whole text, exactly as it will be written to the file.
    QString text() const;
    // Replaces the whole text as one programmatic change (no edit signal, no undo step).
    void setText(const QString &text);
    qsizetype textLength() const;
    Snapshot snapshot() const;

    // The raw text going into the document now, while a note is put in; null otherwise.
    QStringView incomingText() const { return m_incoming ? QStringView(*m_incoming) : QStringView(); }
    // The view shows before its note is read; setText() brings it, and what the user did meanwhile follows.
    void awaitText() { m_loader->await(); }
    // True while a big note is still being put into the view, or awaited.
    bool isLoading() const { return m_loader->isLoading(); }
    // Puts the rest of the note into the view now, and does the edits held meanwhile.
    void finishLoading();
    // The block hashes (ContentDigest) of the note's bytes as the view holds them, once a note given by setText is
    // in whole (loaded()); taken part by part as it comes in, while each is fresh in memory. None when the view
    // did not follow its load exactly.
    std::vector<ContentDigest::BlockHash> shownBlocks() const;
    bool holdsEdits() const { return m_loader->holdsEdits(); }
    // Every edit waits for the whole note (see NoteLoader): true if edit is held for then. False, to edit now, for
    // other text views.
    static bool heldUntilLoaded(QPlainTextEdit *view, std::function<void()> edit)
    {
        auto *note = qobject_cast<NoteTextView *>(view);
        return note && note->m_loader->hold(std::move(edit));
    }

    QList<Range> selectedRanges() const;
    void setSelectedRanges(const QList<Range> &ranges);
    Range selectedRange() const;
    void setSelectedRange(Range range);

    // The ending a line typed by the user gets: the note's most common one when its text was set, LF if none.
    LineEnding newLineEnding() const { return m_breaks.defaultEnding; }
    // Types a line break with that ending at the cursor, which may be inside an open edit block.
    void insertLineBreak(QTextCursor &cursor);

    // Adds items (spelling suggestions) to the context menu at a point of the viewport.
    using ContextMenuExtender = std::function<void(QMenu *menu, const QPoint &viewportPosition)>;
    void setContextMenuExtender(ContextMenuExtender extender);

Q_SIGNALS:
    // Emitted after each edit made by the user (typing, paste, cut, undo, redo), never for setText.
    void textEdited();
    // The whole note is in the view.
    void loaded();

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void onContentsChange(int position, int charsRemoved, int charsAdded);
    void followInMirror(int position, int charsAdded);
    void insertNoteText(QTextCursor &cursor, const QString &text);
    // Puts a part of a note being loaded at the end of the view.
    void appendPart(const LineEndings::Piece &part);
    // Hashes the pieces the load has finished: all of them once the note is in whole.
    void hashLoaded(bool whole);
    // Gives the breaks after block the endings, in order.
    void markEndings(QTextBlock block, const std::vector<LineEnding> &endings);
    // Backspace at the start of a piece of a cut line, or Delete at its end, removes the character beyond the cut.
    bool deleteAcrossCut(bool forward);

    BreakMap m_breaks;
    bool m_settingText = false;
    // The raw text going into the document now, which the mirror takes as it is rather than reading it back.
    const QString *m_incoming = nullptr;
    TextMirror m_mirror;
    NoteLoader *m_loader = nullptr;
    // The note's bytes hashed as they come in, up to the piece m_loadHashed.
    std::unique_ptr<ContentDigest> m_loadDigest;
    qsizetype m_loadHashed = 0;
    NoteCaret *m_caret = nullptr;
    ContextMenuExtender m_contextMenuExtender;
};
