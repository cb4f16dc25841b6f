#pragma once

#include <QPlainTextEdit>

// The note's text view. Keeps the note's characters exactly (line endings as they are in the file, no-break
// spaces, line and paragraph separators, NUL), pastes plain text only and draws the caret in the note colour.
// Ranges count UTF-16 units of the note's text, as they are in the file's decoded text.
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

Q_SIGNALS:
    // Emitted after each edit made by the user (typing, paste, cut, undo, redo), never for setText.
    void textEdited();
};
