#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QPlainTextEdit;

// Undo in the steps people expect. The text document alone would merge all typing at one spot into one step,
// however long, so here each run of typing is an edit block of its own, extended while the user keeps typing.
// A step ends when the user moves the caret (click, arrows), when anything but typing edits the note (paste,
// cut, replace, case change, correction, undo, reload), after a line break, and at the first word boundary
// after a pause in typing; a word is never split. Commands make their own steps.
class UndoSteps : public QObject
{
    Q_OBJECT

public:
    static constexpr int pauseMs = 1000;

    // Install before the tools that forward keys to the view (correction), so their edits stay outside the step.
    explicit UndoSteps(QPlainTextEdit *textView, QObject *parent = nullptr);
    ~UndoSteps() override;

    bool isStepOpen() const { return m_open; }
    // The user paused: the step ends at the next word boundary.
    bool isTypingPaused() const { return m_paused; }
    void endStep();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Types the text a key types, ending the step first after a pause unless it continues a word; false when
    // the key types nothing.
    bool typeText(const QString &typed);
    // Types text, or a line break, which ends the step.
    void type(const QString &typed, bool lineBreak);
    // Whether text typed now continues the word before the caret.
    bool continuesWord(const QString &typed) const;
    void contentsChanged(int position, int removed, int added);

    QPointer<QPlainTextEdit> m_textView;
    QTimer m_pause;
    bool m_open = false;
    bool m_paused = false;
    bool m_typing = false;
    bool m_typed = false;
};
