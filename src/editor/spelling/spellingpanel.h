#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class SpellingTools;

// "Show Spelling and Grammar": walks the misspelled words of one note. There is no grammar checker here, and
// the panel says so rather than pretend to check grammar.
class SpellingPanel : public QDialog
{
    Q_OBJECT

public:
    explicit SpellingPanel(SpellingTools *spelling, QWidget *parent = nullptr);
    ~SpellingPanel() override;

    // The misspelled word in question (editable: what is typed there is what "Change" puts in).
    QString word() const;
    QStringList guesses() const;
    QString status() const;
    QListWidget *guessList() const { return m_guesses; }
    QLineEdit *wordField() const { return m_word; }

public Q_SLOTS:
    // Selects the next misspelled word in the note and shows its suggestions.
    void findNext();
    // Puts the chosen suggestion, or the text of the word field, in place of the selected word.
    void change();
    void ignore();
    void learn();

private:
    QString selectedMisspelling() const;

    QPointer<SpellingTools> m_tools;
    QLabel *m_status = nullptr;
    QLineEdit *m_word = nullptr;
    QListWidget *m_guesses = nullptr;
    QPushButton *m_changeButton = nullptr;
    QPushButton *m_findNextButton = nullptr;
    QPushButton *m_ignoreButton = nullptr;
    QPushButton *m_learnButton = nullptr;
    QString m_current;
};
