#include "editor/find/findbar.h"

#include "editor/find/matchhighlighter.h"
#include "editor/find/matchlist.h"
#include "editor/view/notetextview.h"
#include "editor/find/replacerow.h"
#include "editor/find/textsearch.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *arrowButton(Qt::ArrowType arrow, const QString &toolTip, const QString &name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setToolTip(toolTip);
    button->setAccessibleName(name);
    return button;
}

constexpr int usableFieldCharacters = 12;
constexpr int rowSpacing = 6;

} // namespace

FindBar::FindBar(QPlainTextEdit *textView, QWidget *parent)
    : QWidget(parent)
    , m_textView(textView)
{
    makeRows();
    m_matches = new MatchList(textView ? textView->document() : nullptr, this);
    m_highlighter = new MatchHighlighter(textView, this);
    connectControls();
    hide();
}

void FindBar::makeRows()
{
    m_searchField = new QLineEdit(this);
    m_searchField->setPlaceholderText(tr("Find"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setAccessibleName(tr("Search text"));
    // Made next, so that Tab goes from the search text to the replacement, as in every find and replace bar.
    m_replaceRow = new ReplaceRow(m_textView, this);
    // Arrows are drawn as given, not mirrored: Previous points back to where lines start, at the right in a
    // right-to-left layout.
    const bool mirrored = isRightToLeft();
    auto *previousButton =
        arrowButton(mirrored ? Qt::RightArrow : Qt::LeftArrow, tr("Previous match"), tr("Previous"), this);
    auto *nextButton = arrowButton(mirrored ? Qt::LeftArrow : Qt::RightArrow, tr("Next match"), tr("Next"), this);
    m_countLabel = new QLabel(this);
    m_countLabel->setMinimumWidth(m_countLabel->fontMetrics().horizontalAdvance(QStringLiteral("0000 of 0000")));
    m_countLabel->setAccessibleName(tr("Match count"));
    m_caseBox = new QCheckBox(tr("Match Case"), this);
    auto *doneButton = new QPushButton(tr("Done"), this);
    connect(previousButton, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(nextButton, &QToolButton::clicked, this, &FindBar::findNext);
    connect(doneButton, &QPushButton::clicked, this, &FindBar::done);

    // The search text stays readable however narrow the window: about a dozen characters.
    m_searchField->setMinimumWidth(m_searchField->fontMetrics().averageCharWidth() * usableFieldCharacters);
    m_findRow = new QHBoxLayout;
    m_findRow->setContentsMargins(0, 0, 0, 0);
    m_findRow->setSpacing(rowSpacing);
    m_findRow->addWidget(m_searchField, 1);
    m_findRow->addWidget(previousButton);
    m_findRow->addWidget(nextButton);
    m_findRow->addWidget(m_countLabel);
    m_findRow->addWidget(m_caseBox);
    m_findRow->addWidget(doneButton);
    m_optionsRow = new QHBoxLayout;
    m_optionsRow->setContentsMargins(0, 0, 0, 0);
    m_optionsRow->setSpacing(rowSpacing);
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 4, 6, 4);
    rows->setSpacing(4);
    rows->addLayout(m_findRow);
    rows->addLayout(m_optionsRow);
    rows->addWidget(m_replaceRow);
    m_replaceRow->hide();
}

void FindBar::connectControls()
{
    connect(m_searchField, &QLineEdit::textEdited, this, &FindBar::searchEdited);
    connect(m_caseBox, &QCheckBox::toggled, this, &FindBar::searchEdited);
    connect(m_replaceRow, &ReplaceRow::replaceClicked, this, &FindBar::replace);
    connect(m_replaceRow, &ReplaceRow::replaceAllClicked, this, &FindBar::replaceAll);
    connect(m_matches, &MatchList::firstMatchFound, this, &FindBar::selectMatch);
    connect(m_matches, &MatchList::progressed, this, &FindBar::updateCountLabel);
    connect(m_matches, &MatchList::finished, this, [this](qsizetype count) {
        updateCountLabel();
        Q_EMIT countFinished(count);
    });
    connect(m_matches, &MatchList::stale, this, [this] {
        // The highlighter marks nothing while the bar is hidden.
        m_highlighter->schedule();
        updateCountLabel();
    });
    connect(m_matches, &MatchList::recountDue, this, [this] { restartCount(false); });
    m_searchField->installEventFilter(this);
    m_replaceRow->field()->installEventFilter(this);
    if (!m_textView)
        return;
    m_textView->installEventFilter(this);
    connect(m_textView, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (!m_selecting)
            m_matches->forgetFirst();
        updateCountLabel();
    });
}

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
    return m_replaceRow->text();
}

void FindBar::setReplaceText(const QString &text)
{
    m_replaceRow->setText(text);
}

QLineEdit *FindBar::replaceField() const
{
    return m_replaceRow->field();
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
    return m_matches->isValid() ? m_matches->matches().size() : -1;
}

qsizetype FindBar::currentMatch() const
{
    if (!m_matches->isValid() || !m_textView || searchText().isEmpty())
        return 0;
    const QTextCursor cursor = m_textView->textCursor();
    if (!cursor.hasSelection() || !search().isMatch(cursor.selectionStart(), cursor.selectionEnd()))
        return 0;
    return m_matches->numberOf(cursor.selectionStart());
}

QString FindBar::countText() const
{
    if (searchText().isEmpty())
        return {};
    if (!m_matches->isValid()) {
        if (!m_matches->isCounting())
            return {};
        return tr("%1…").arg(m_matches->counted());
    }
    const qsizetype count = m_matches->matches().size();
    if (count == 0)
        return tr("Not found");
    if (const qsizetype current = currentMatch(); current > 0)
        return tr("%1 of %2").arg(current).arg(count);
    return count == 1 ? tr("1 match") : tr("%1 matches").arg(count);
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
    m_matches->stop();
    highlightVisible();
    if (m_textView)
        m_textView->setFocus(Qt::OtherFocusReason);
}

bool FindBar::findNext()
{
    if (!m_textView || searchText().isEmpty())
        return false;
    return selectMatch(m_matches->forward(search(), m_textView->textCursor().selectionEnd()));
}

bool FindBar::findPrevious()
{
    if (!m_textView || searchText().isEmpty())
        return false;
    return selectMatch(m_matches->backward(search(), m_textView->textCursor().selectionStart()));
}

bool FindBar::replace()
{
    if (!m_textView || searchText().isEmpty())
        return false;
    if (NoteTextView::heldUntilLoaded(m_textView, [this] { replace(); }))
        return false;
    const bool replaced = m_replaceRow->replaceSelection(search());
    findNext();
    return replaced;
}

qsizetype FindBar::replaceAll()
{
    if (!m_textView || searchText().isEmpty())
        return 0;
    // All of a big note, not only what is shown yet.
    if (NoteTextView::heldUntilLoaded(m_textView, [this] { replaceAll(); }))
        return 0;
    // One count afterwards rather than one per replacement.
    m_matches->setIgnoringEdits(true);
    const qsizetype replaced = m_replaceRow->replaceAll(search());
    m_matches->setIgnoringEdits(false);
    if (replaced == 0)
        return 0;
    restartCount(false);
    highlightVisible();
    return replaced;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    // Only the fields are line edits; the text view is told apart without asking the view, which may be going.
    if (watched != m_searchField && watched != m_replaceRow->field()) {
        // Esc closes the bar from the text too, as in other editors; otherwise the text has no use for it.
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape || isHidden())
            return false;
        done();
        return true;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // A field takes Ctrl+Z for itself even with nothing to undo; then it is the note's, through the menu.
        auto *key = static_cast<QKeyEvent *>(event);
        const auto *field = static_cast<QLineEdit *>(watched);
        if ((key->matches(QKeySequence::Undo) && !field->isUndoAvailable()) ||
            (key->matches(QKeySequence::Redo) && !field->isRedoAvailable())) {
            key->ignore();
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Escape) {
        done();
        return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (watched == m_replaceRow->field())
        replace();
    else if (key->modifiers() & Qt::ShiftModifier)
        findPrevious();
    else
        findNext();
    return true;
}

void FindBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // After the layout that resized the bar has finished: a change made inside it would be lost.
    QMetaObject::invokeMethod(
        this, [this] { fitRows(width()); }, Qt::QueuedConnection);
}

void FindBar::fitRows(int width)
{
    // In a narrow window the count and the case option move to a row of their own rather than squeeze the search
    // field to nothing or be cut off at the edge.
    const bool wasNarrow = m_optionsRow->indexOf(m_caseBox) >= 0;
    // What the one row needs: each control at the least its layout gives it, and the gaps between them.
    int needed = layout()->contentsMargins().left() + layout()->contentsMargins().right() - rowSpacing;
    for (const QBoxLayout *row : {m_findRow, m_optionsRow}) {
        for (int i = 0; i < row->count(); ++i) {
            if (row->itemAt(i)->widget())
                needed += row->itemAt(i)->minimumSize().width() + rowSpacing;
        }
    }
    const bool narrow = width < needed;
    if (narrow == wasNarrow)
        return;
    QBoxLayout *from = narrow ? m_findRow : m_optionsRow;
    QBoxLayout *to = narrow ? m_optionsRow : m_findRow;
    from->removeWidget(m_countLabel);
    from->removeWidget(m_caseBox);
    const int at = narrow ? 0 : m_findRow->indexOf(m_searchField) + 3; // after the field and its arrows
    // On a row of their own the option leads: an empty count would push it in from the edge.
    to->insertWidget(at, narrow ? static_cast<QWidget *>(m_caseBox) : m_countLabel);
    to->insertWidget(at + 1, narrow ? static_cast<QWidget *>(m_countLabel) : m_caseBox);
    if (narrow)
        m_optionsRow->addStretch();
    else
        delete m_optionsRow->takeAt(0); // the stretch left behind
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
    m_matches->stop();
    if (!m_textView || searchText().isEmpty() || isHidden()) {
        updateCountLabel();
        return;
    }
    m_matches->start(search(), m_textView->textCursor().selectionStart(), selectFirst);
}

void FindBar::highlightVisible()
{
    m_highlighter->highlight(isHidden() || !m_textView ? TextSearch() : search());
}

void FindBar::updateCountLabel()
{
    m_countLabel->setText(countText());
}

bool FindBar::selectMatch(qsizetype position)
{
    if (position < 0) {
        updateCountLabel();
        return false;
    }
    QTextCursor cursor(m_textView->document());
    cursor.setPosition(position);
    cursor.setPosition(int(search().matchEnd(position)), QTextCursor::KeepAnchor);
    m_selecting = true;
    m_textView->setTextCursor(cursor);
    m_textView->ensureCursorVisible();
    m_selecting = false;
    updateCountLabel();
    m_highlighter->schedule();
    return true;
}

TextSearch FindBar::search() const
{
    return TextSearch(m_textView->document(), searchText(),
                      m_caseBox->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
}
