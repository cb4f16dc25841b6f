#pragma once

#include <QColor>
#include <QPlainTextEdit>

#include <functional>
#include <QRect>
#include <QTimer>

#include <array>

class QTextBlock;

// The note's text view. Keeps the note's characters exactly (line endings as they are in the file, no-break
// spaces, line and paragraph separators, NUL), pastes plain text only and draws the caret in the note colour.
// Ranges count UTF-16 units of the note's text, as they are in the file's decoded text.
//
// The text document holds every line break as one paragraph break; the note's ending there (LF, CRLF, CR, U+2029)
// rides on the break's character format, so deleting, undo and redo keep it with the break. Read and replace the
// note with text() and setText(), never with toPlainText() and setPlainText(), which lose those characters.
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

    // How a line ends in the note. The text document turns all of these into a paragraph break.
    enum class LineEnding : signed char
    {
        Lf,
        CrLf,
        Cr,
        ParagraphSeparator,
        // Two noncharacters the text document also takes as a break (its frame markers).
        Fdd0,
        Fdd1,
    };

    static QColor caretColor();

    explicit NoteTextView(QWidget *parent = nullptr);
    ~NoteTextView() override;

    // The note's whole text, exactly as it will be written to the file.
    QString text() const;
    // Replaces the whole text as one programmatic change (no edit signal, no undo step).
    void setText(const QString &text);
    qsizetype textLength() const;

    QList<Range> selectedRanges() const;
    void setSelectedRanges(const QList<Range> &ranges);
    Range selectedRange() const;
    void setSelectedRange(Range range);

    // The ending a line typed by the user gets: the note's most common one when its text was set, LF if none.
    LineEnding newLineEnding() const { return m_defaultEnding; }

    // Adds items (spelling suggestions) to the context menu at a point of the viewport.
    using ContextMenuExtender = std::function<void(QMenu *menu, const QPoint &viewportPosition)>;
    void setContextMenuExtender(ContextMenuExtender extender);

public Q_SLOTS:
    void pasteAsPlainText(QObject *sender);
    // Removes the selection, like the Delete key does when there is one.
    void deleteSelection(QObject *sender);

Q_SIGNALS:
    // Emitted after each edit made by the user (typing, paste, cut, undo, redo), never for setText.
    void textEdited();

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void onContentsChange(int position, int charsRemoved, int charsAdded);
    void insertNoteText(QTextCursor &cursor, QStringView text);
    // The format for a paragraph break standing for ending, based on format.
    QTextCharFormat breakFormat(QTextCharFormat format, LineEnding ending);
    // Endings of the block formats in use, indexed by format index; -1 where a format carries none.
    QList<signed char> endingsByFormat() const;
    LineEnding endingBefore(const QTextBlock &block, const QList<signed char> &endings) const;
    // The note's text for a piece of raw document text that starts in block.
    QString withEndings(QString raw, QTextBlock block) const;
    // Both mappings take two ascending positions, so a selection costs one pass over the paragraphs.
    using NotePositions = std::array<qsizetype, 2>;
    using DocumentPositions = std::array<int, 2>;
    NotePositions noteFromDocument(int first, int second) const;
    DocumentPositions documentFromNote(qsizetype first, qsizetype second) const;
    void restartCaretBlink();
    void toggleCaret();
    void updateCaret();
    QRect caretRect() const;

    LineEnding m_defaultEnding = LineEnding::Lf;
    // False while every paragraph break is the default ending, which keeps text() and the range mapping cheap.
    bool m_mixedEndings = false;
    bool m_settingText = false;
    bool m_caretOn = true;
    QRect m_drawnCaret;
    QTimer m_caretBlink;
    ContextMenuExtender m_contextMenuExtender;
};
