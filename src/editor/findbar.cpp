#include "editor/findbar.h"

#include "editor/matchcounter.h"
#include "editor/matchhighlighter.h"
#include "editor/textsearch.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Edits in a big note restart the count only after a short pause in typing.
constexpr int recountDelayMs = 120;

QToolButton *arrowButton(Qt::ArrowType arrow, const QString &toolTip, const QString &name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setToolTip(toolTip);
    button->setAccessibleName(name);
    return button;
}

} // namespace

FindBar::FindBar(QPlainTextEdit *textView, QWidget *parent)
    : QWidget(parent)
    , m_textView(textView)
{
    makeRows();
    m_counter = new MatchCounter(this);
    m_highlighter = new MatchHighlighter(textView, this);
    m_recountTimer = new QTimer(this);
    m_recountTimer->setSingleShot(true);
    m_recountTimer->setInterval(recountDelayMs);
    connectControls();
    if (m_textView)
        followTextView();
    hide();
}

void FindBar::makeRows()
{
    m_searchField = new QLineEdit(this);
    m_searchField->setPlaceholderText(tr("Find"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setAccessibleName(tr("Search text"));
    m_previousButton = arrowButton(Qt::LeftArrow, tr("Previous match"), tr("Previous"), this);
    m_nextButton = arrowButton(Qt::RightArrow, tr("Next match"), tr("Next"), this);
    m_countLabel = new QLabel(this);
    m_countLabel->setMinimumWidth(m_countLabel->fontMetrics().horizontalAdvance(QStringLiteral("0000 of 0000")));
    m_countLabel->setAccessibleName(tr("Match count"));
    m_caseBox = new QCheckBox(tr("Match Case"), this);
    m_doneButton = new QPushButton(tr("Done"), this);

    m_replaceRow = new QWidget(this);
    m_replaceField = new QLineEdit(m_replaceRow);
    m_replaceField->setPlaceholderText(tr("Replace"));
    m_replaceField->setAccessibleName(tr("Replacement text"));
    m_replaceButton = new QPushButton(tr("Replace"), m_replaceRow);
    m_replaceAllButton = new QPushButton(tr("All"), m_replaceRow);

    auto *findRow = new QHBoxLayout;
    findRow->setContentsMargins(0, 0, 0, 0);
    findRow->addWidget(m_searchField, 1);
    findRow->addWidget(m_previousButton);
    findRow->addWidget(m_nextButton);
    findRow->addWidget(m_countLabel);
    findRow->addWidget(m_caseBox);
    findRow->addWidget(m_doneButton);
    auto *replaceRow = new QHBoxLayout(m_replaceRow);
    replaceRow->setContentsMargins(0, 0, 0, 0);
    replaceRow->addWidget(m_replaceField, 1);
    replaceRow->addWidget(m_replaceButton);
    replaceRow->addWidget(m_replaceAllButton);
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 4, 6, 4);
    rows->setSpacing(4);
    rows->addLayout(findRow);
    rows->addWidget(m_replaceRow);
    m_replaceRow->hide();
}

void FindBar::connectControls()
{
    connect(m_searchField, &QLineEdit::textEdited, this, &FindBar::searchEdited);
    connect(m_caseBox, &QCheckBox::toggled, this, &FindBar::searchEdited);
    connect(m_previousButton, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(m_nextButton, &QToolButton::clicked, this, &FindBar::findNext);
    connect(m_doneButton, &QPushButton::clicked, this, &FindBar::done);
    connect(m_replaceButton, &QPushButton::clicked, this, &FindBar::replace);
    connect(m_replaceAllButton, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(m_counter, &MatchCounter::firstMatchAfterOrigin, this, &FindBar::selectFirstMatch);
    connect(m_counter, &MatchCounter::progressed, this, &FindBar::updateCountLabel);
    connect(m_counter, &MatchCounter::finished, this, &FindBar::takeCount);
    connect(m_recountTimer, &QTimer::timeout, this, [this] { restartCount(false); });
    m_searchField->installEventFilter(this);
    m_replaceField->installEventFilter(this);
}

void FindBar::followTextView()
{
    m_revision = m_textView->document()->revision();
    connect(m_textView->document(), &QTextDocument::contentsChange, this, &FindBar::documentChanged);
    connect(m_textView, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!m_selecting)
            m_selectFirst = false;
        updateCountLabel();
    });
}

FindBar::~FindBar() = default;

QString FindBar::searchText() const
{
    return m_searchField->text();
}

void FindBar::setSearchText(const QString &text)
{
    // A search string is one line: the field cannot hold more, and matches never span lines.
    const QString line = text.left(text.indexOf(QRegularExpression(QStringLiteral("[\\n\\r\\x{2028}\\x{2029}]"))));
    if (line == m_searchField->text())
        return;
    m_searchField->setText(line);
    restartCount(false);
    highlightVisible();
}

QString FindBar::replaceText() const
{
    return m_replaceField->text();
}

void FindBar::setReplaceText(const QString &text)
{
    m_replaceField->setText(text);
}

bool FindBar::isCaseSensitive() const
{
    return m_caseBox->isChecked();
}

void FindBar::setCaseSensitive(bool caseSensitive)
{
    m_caseBox->setChecked(caseSensitive);
}

bool FindBar::isReplaceMode() const
{
    return !m_replaceRow->isHidden();
}

qsizetype FindBar::matchCount() const
{
    return m_countValid ? m_matches.size() : -1;
}

qsizetype FindBar::currentMatch() const
{
    if (!m_countValid || !selectionIsMatch())
        return 0;
    const qsizetype start = m_textView->textCursor().selectionStart();
    const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), start);
    if (it == m_matches.cend() || *it != start)
        return 0;
    return (it - m_matches.cbegin()) + 1;
}

QString FindBar::countText() const
{
    if (searchText().isEmpty())
        return {};
    if (!m_countValid) {
        if (!m_counting)
            return {};
        return tr("%1…").arg(m_counter->counted());
    }
    if (m_matches.isEmpty())
        return tr("Not found");
    if (const qsizetype current = currentMatch(); current > 0)
        return tr("%1 of %2").arg(current).arg(m_matches.size());
    return m_matches.size() == 1 ? tr("1 match") : tr("%1 matches").arg(m_matches.size());
}

void FindBar::showFind()
{
    showBar(false);
}

void FindBar::showReplace()
{
    showBar(true);
}

void FindBar::showBar(bool replaceMode)
{
    m_replaceRow->setVisible(replaceMode);
    show();
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    m_searchField->selectAll();
    restartCount(false);
    highlightVisible();
}

void FindBar::done()
{
    hide();
    m_counter->stop();
    m_recountTimer->stop();
    m_counting = false;
    m_countValid = false;
    highlightVisible();
    if (m_textView)
        m_textView->setFocus(Qt::OtherFocusReason);
}

bool FindBar::findNext()
{
    if (!m_textView || searchText().isEmpty())
        return false;
    return selectFound(searchForward(m_textView->textCursor().selectionEnd()));
}

bool FindBar::findPrevious()
{
    if (!m_textView || searchText().isEmpty())
        return false;
    return selectFound(searchBackward(m_textView->textCursor().selectionStart()));
}

bool FindBar::selectFound(qsizetype position)
{
    if (position < 0) {
        updateCountLabel();
        return false;
    }
    selectMatch(position);
    return true;
}

bool FindBar::replace()
{
    if (!m_textView || searchText().isEmpty())
        return false;
    bool replaced = false;
    if (selectionIsMatch()) {
        QTextCursor cursor = m_textView->textCursor();
        cursor.insertText(replaceText());
        m_textView->setTextCursor(cursor);
        replaced = true;
    }
    findNext();
    return replaced;
}

qsizetype FindBar::replaceAll()
{
    if (!m_textView || searchText().isEmpty())
        return 0;
    m_editing = true;
    const qsizetype replaced = search().replaceAll(replaceText());
    m_editing = false;
    if (replaced == 0)
        return 0;
    m_revision = m_textView->document()->revision();
    restartCount(false);
    highlightVisible();
    return replaced;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Escape) {
        done();
        return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (watched == m_replaceField)
        replace();
    else if (key->modifiers() & Qt::ShiftModifier)
        findPrevious();
    else
        findNext();
    return true;
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        done();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FindBar::searchEdited()
{
    restartCount(true);
    highlightVisible();
}

void FindBar::restartCount(bool selectFirst)
{
    m_counter->stop();
    m_recountTimer->stop();
    m_matches.clear();
    m_countValid = false;
    m_selectFirst = false;
    if (!m_textView || searchText().isEmpty() || isHidden()) {
        m_counting = false;
        updateCountLabel();
        return;
    }
    m_revision = m_textView->document()->revision();
    m_selectFirst = selectFirst;
    m_counting = true;
    m_counter->start(search(), m_textView->textCursor().selectionStart());
}

void FindBar::selectFirstMatch(qsizetype position)
{
    if (!m_selectFirst)
        return;
    m_selectFirst = false;
    selectMatch(position);
}

void FindBar::takeCount(const QList<qsizetype> &matches)
{
    m_counting = false;
    m_matches = matches;
    m_countValid = true;
    if (m_selectFirst && !m_matches.isEmpty()) {
        // Nothing after the caret: wrap to the first match of the note.
        m_selectFirst = false;
        selectMatch(m_matches.first());
    }
    updateCountLabel();
    Q_EMIT countFinished(m_matches.size());
}

void FindBar::highlightVisible()
{
    m_highlighter->highlight(isHidden() || !m_textView ? TextSearch() : search());
}

void FindBar::scheduleHighlight()
{
    if (!isHidden())
        m_highlighter->schedule();
}

void FindBar::updateCountLabel()
{
    m_countLabel->setText(countText());
}

void FindBar::documentChanged()
{
    if (m_editing || !m_textView)
        return;
    // Layout and highlighting changes come this way too; only a new revision is an edit of the text.
    const int revision = m_textView->document()->revision();
    if (revision == m_revision)
        return;
    m_revision = revision;
    m_counter->stop();
    m_countValid = false;
    m_matches.clear();
    m_selectFirst = false;
    m_counting = !isHidden() && !searchText().isEmpty();
    if (m_counting)
        m_recountTimer->start();
    scheduleHighlight();
    updateCountLabel();
}

Qt::CaseSensitivity FindBar::caseSensitivity() const
{
    return m_caseBox->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

bool FindBar::selectionIsMatch() const
{
    if (!m_textView)
        return false;
    const QTextCursor cursor = m_textView->textCursor();
    if (!cursor.hasSelection() || searchText().isEmpty())
        return false;
    const TextSearch found = search();
    return found.forward(cursor.selectionStart()) == cursor.selectionStart() &&
           found.matchEnd(cursor.selectionStart()) == cursor.selectionEnd();
}

void FindBar::selectMatch(qsizetype position)
{
    QTextCursor cursor(m_textView->document());
    cursor.setPosition(position);
    cursor.setPosition(int(search().matchEnd(position)), QTextCursor::KeepAnchor);
    m_selecting = true;
    m_textView->setTextCursor(cursor);
    m_textView->ensureCursorVisible();
    m_selecting = false;
    updateCountLabel();
    scheduleHighlight();
}

TextSearch FindBar::search() const
{
    return TextSearch(m_textView->document(), searchText(), caseSensitivity());
}

qsizetype FindBar::searchForward(qsizetype from) const
{
    if (!m_countValid)
        return search().forward(from);
    if (m_matches.isEmpty())
        return -1;
    const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), from);
    return it == m_matches.cend() ? m_matches.first() : *it;
}

qsizetype FindBar::searchBackward(qsizetype before) const
{
    if (!m_countValid)
        return search().backward(before);
    if (m_matches.isEmpty())
        return -1;
    const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), before);
    return it == m_matches.cbegin() ? m_matches.last() : *(it - 1);
}
