#include "editor/spelling/spellingpanel.h"

#include "editor/spelling/spellchecker.h"
#include "editor/spelling/spellingtools.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

SpellingPanel::SpellingPanel(SpellingTools *spelling, QWidget *parent)
    : QDialog(parent)
    , m_tools(spelling)
{
    setWindowTitle(tr("Spelling"));
    setModal(false);
    auto *note = new QLabel(tr("Checks spelling only: no grammar checker is available."), this);
    note->setWordWrap(true);
    m_status = new QLabel(this);
    m_word = new QLineEdit(this);
    m_word->setAccessibleName(tr("Misspelled word"));
    m_guesses = new QListWidget(this);
    m_guesses->setAccessibleName(tr("Suggestions"));
    m_changeButton = new QPushButton(tr("Change"), this);
    m_findNextButton = new QPushButton(tr("Find Next"), this);
    m_ignoreButton = new QPushButton(tr("Ignore"), this);
    m_learnButton = new QPushButton(tr("Learn"), this);
    m_findNextButton->setDefault(true);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_changeButton);
    buttons->addWidget(m_findNextButton);
    buttons->addSpacing(12);
    buttons->addWidget(m_ignoreButton);
    buttons->addWidget(m_learnButton);
    buttons->addStretch(1);
    auto *grid = new QGridLayout(this);
    grid->addWidget(note, 0, 0, 1, 2);
    grid->addWidget(m_status, 1, 0, 1, 2);
    grid->addWidget(m_word, 2, 0);
    grid->addWidget(m_guesses, 3, 0);
    grid->addLayout(buttons, 2, 1, 2, 1);

    connect(m_changeButton, &QPushButton::clicked, this, &SpellingPanel::change);
    connect(m_findNextButton, &QPushButton::clicked, this, &SpellingPanel::findNext);
    connect(m_ignoreButton, &QPushButton::clicked, this, &SpellingPanel::ignore);
    connect(m_learnButton, &QPushButton::clicked, this, &SpellingPanel::learn);
    connect(m_guesses, &QListWidget::currentTextChanged, this, [this](const QString &guess) {
        if (!guess.isEmpty())
            m_word->setText(guess);
    });
    connect(m_guesses, &QListWidget::itemDoubleClicked, this, &SpellingPanel::change);
}

SpellingPanel::~SpellingPanel() = default;

QString SpellingPanel::word() const
{
    return m_current;
}

QStringList SpellingPanel::guesses() const
{
    QStringList result;
    for (int i = 0; i < m_guesses->count(); ++i)
        result << m_guesses->item(i)->text();
    return result;
}

QString SpellingPanel::status() const
{
    return m_status->text();
}

void SpellingPanel::findNext()
{
    m_guesses->clear();
    m_current.clear();
    m_word->clear();
    if (!m_tools)
        return;
    if (!m_tools->spellChecker()->hasDictionary()) {
        m_status->setText(tr("No dictionary is installed."));
        return;
    }
    if (!m_tools->selectNextMisspelling()) {
        m_status->setText(tr("No misspelled words found."));
        return;
    }
    m_current = m_tools->textView()->textCursor().selectedText();
    m_status->setText(tr("Not in the dictionary:"));
    const QSignalBlocker blocker(m_guesses);
    m_guesses->addItems(m_tools->spellChecker()->suggestions(m_current));
    m_word->setText(m_current);
}

void SpellingPanel::change()
{
    if (!m_tools || selectedMisspelling().isEmpty())
        return;
    const QString replacement = m_word->text();
    if (!replacement.isEmpty() && replacement != m_current)
        m_tools->replaceSelection(replacement);
    findNext();
}

void SpellingPanel::ignore()
{
    if (m_tools && !selectedMisspelling().isEmpty())
        m_tools->spellChecker()->ignore(m_current);
    findNext();
}

void SpellingPanel::learn()
{
    if (m_tools && !selectedMisspelling().isEmpty())
        m_tools->spellChecker()->learn(m_current);
    findNext();
}

QString SpellingPanel::selectedMisspelling() const
{
    // The user may have moved on in the note; act only on the word the panel shows.
    if (m_current.isEmpty() || !m_tools || m_tools->textView()->textCursor().selectedText() != m_current)
        return {};
    return m_current;
}
