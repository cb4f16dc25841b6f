#pragma once

#include <QObject>
#include <QPointer>

class QMenu;
class QPlainTextEdit;
class QPoint;
class SpellChecker;
class SpellHighlighter;

// Spelling for one note's text view: the dictionary, the marks under misspelled words, the suggestions on top of
// the context menu, and walking from one misspelled word to the next.
class SpellingTools : public QObject
{
    Q_OBJECT

public:
    explicit SpellingTools(QPlainTextEdit *textView, QObject *parent = nullptr);
    ~SpellingTools() override;

    QPlainTextEdit *textView() const;
    SpellChecker *spellChecker() const { return m_spellChecker; }

    // "Check Spelling While Typing", on by default.
    bool isContinuousSpellCheckingEnabled() const;
    void setContinuousSpellCheckingEnabled(bool enabled);

    // Puts the spelling actions for the word at a viewport position on top of a context menu of the view:
    // the suggestions, "Ignore Spelling" and "Learn Spelling". Nothing is added for a correct word.
    void extendContextMenu(QMenu *menu, const QPoint &viewportPosition);

    // Selects the next misspelled word after the selection, wrapping around; false when there is none.
    bool selectNextMisspelling();
    // Replaces the selection as one undo step and selects the new text.
    void replaceSelection(const QString &text);

Q_SIGNALS:
    // For the check mark of "Check Spelling While Typing".
    void continuousSpellCheckingChanged(bool enabled);

private:
    void replaceWord(qsizetype position, const QString &misspelled, const QString &guess);

    QPointer<QPlainTextEdit> m_textView;
    SpellChecker *m_spellChecker = nullptr;
    SpellHighlighter *m_highlighter = nullptr;
};
