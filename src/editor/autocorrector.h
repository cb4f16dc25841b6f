#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>

class QPlainTextEdit;
class SpellChecker;

// Corrects clear-cut misspellings in a text view as words are finished, each correction an undo step of its own.
// A correction the user undoes, or types over with the original again, is not made again in this note.
class AutoCorrector : public QObject
{
    Q_OBJECT

public:
    AutoCorrector(QPlainTextEdit *textView, SpellChecker *spellChecker, QObject *parent = nullptr);
    ~AutoCorrector() override;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

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
    // Whether the text of the last correction is back to what was typed.
    bool lastCorrectionUndone() const;
    void trackCorrection(int position, int removed, int added);

    QPointer<QPlainTextEdit> m_textView;
    QPointer<SpellChecker> m_spellChecker;
    bool m_enabled = true;
    bool m_forwardingKey = false;
    Correction m_lastCorrection;
    // Words whose correction the user undid: they are left as typed in this note.
    QSet<QString> m_rejected;
};
