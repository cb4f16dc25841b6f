#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

class CorrectionMark;
class QMenu;
class QPlainTextEdit;
class QPoint;
class SpellChecker;

// Corrects clear-cut misspellings in a text view as words are finished, only while spelling is checked as the
// user types, and only where the words around are the dictionary's language. Each correction is an undo step of its
// own, is underlined for a moment, and can be changed back from the word's context menu. A correction the user undoes,
// changes back or types over with the original again is not made again in this note.
class AutoCorrector : public QObject
{
    Q_OBJECT

public:
    AutoCorrector(QPlainTextEdit *textView, SpellChecker *spellChecker, QObject *parent = nullptr);
    ~AutoCorrector() override;

    bool isEnabled() const { return m_enabled && m_checkingWhileTyping; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    // Follows "Check Spelling While Typing": no correction without it.
    void setCheckingWhileTyping(bool on) { m_checkingWhileTyping = on; }

    // Puts "Change Back to “original”" on top of the context menu of a corrected word.
    void extendContextMenu(QMenu *menu, const QPoint &viewportPosition);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Correction
    {
        qsizetype position = -1;
        QString original;
        QString replacement;
    };

    void correctWordBeforeCaret();
    QString textAt(qsizetype position, qsizetype length) const;
    void changeBack(const Correction &correction);
    void trackCorrections(int position, int removed, int added);

    QPointer<QPlainTextEdit> m_textView;
    QPointer<SpellChecker> m_spellChecker;
    CorrectionMark *m_mark = nullptr;
    bool m_enabled = true;
    bool m_checkingWhileTyping = true;
    bool m_forwardingKey = false;
    // Recent corrections still standing in the text, oldest first.
    QList<Correction> m_corrections;
    // Words whose correction the user undid: they are left as typed in this note.
    QSet<QString> m_rejected;
};
