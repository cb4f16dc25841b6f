#include "editor/findbar.h"

#include "editor/visibleblocks.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QElapsedTimer>
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

// One slice of counting may hold the window this long; typing stays fluid in between.
constexpr qint64 sliceBudgetMs = 4;
// Edits in a big note restart the count only after a short pause in typing.
constexpr int recountDelayMs = 120;
// Caps on what is highlighted in view, for a one-letter search on a huge line.
constexpr int maxHighlightedBlocks = 2000;
constexpr int maxHighlightedMatches = 5000;

} // namespace

FindBar::FindBar(QPlainTextEdit *textView, QWidget *parent)
    : QWidget(parent)
    , m_textView(textView)
{
    m_searchField = new QLineEdit(this);
    m_searchField->setPlaceholderText(tr("Find"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setAccessibleName(tr("Search text"));
    m_previousButton = new QToolButton(this);
    m_previousButton->setArrowType(Qt::LeftArrow);
    m_previousButton->setToolTip(tr("Previous match"));
    m_previousButton->setAccessibleName(tr("Previous"));
    m_nextButton = new QToolButton(this);
    m_nextButton->setArrowType(Qt::RightArrow);
    m_nextButton->setToolTip(tr("Next match"));
    m_nextButton->setAccessibleName(tr("Next"));
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

    m_sliceTimer = new QTimer(this);
    m_sliceTimer->setInterval(0);
    m_highlightTimer = new QTimer(this);
    m_highlightTimer->setSingleShot(true);
    m_highlightTimer->setInterval(0);
    m_recountTimer = new QTimer(this);
    m_recountTimer->setSingleShot(true);
    m_recountTimer->setInterval(recountDelayMs);

    connect(m_searchField, &QLineEdit::textEdited, this, &FindBar::searchEdited);
    connect(m_caseBox, &QCheckBox::toggled, this, &FindBar::searchEdited);
    connect(m_previousButton, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(m_nextButton, &QToolButton::clicked, this, &FindBar::findNext);
    connect(m_doneButton, &QPushButton::clicked, this, &FindBar::done);
    connect(m_replaceButton, &QPushButton::clicked, this, &FindBar::replace);
    connect(m_replaceAllButton, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(m_sliceTimer, &QTimer::timeout, this, &FindBar::scanSlice);
    connect(m_highlightTimer, &QTimer::timeout, this, &FindBar::highlightVisible);
    connect(m_recountTimer, &QTimer::timeout, this, [this] { restartCount(false); });
    m_searchField->installEventFilter(this);
    m_replaceField->installEventFilter(this);

    if (m_textView) {
        m_revision = m_textView->document()->revision();
        connect(m_textView->document(), &QTextDocument::contentsChange, this, &FindBar::documentChanged);
        // The view scrolls without the scroll bar's signal (it blocks it), but always asks for a repaint that moves.
        connect(m_textView, &QPlainTextEdit::updateRequest, this, [this](const QRect &, int dy) {
            if (dy != 0)
                scheduleHighlight();
        });
        connect(m_textView, &QPlainTextEdit::cursorPositionChanged, this, [this] {
            if (!m_selecting)
                m_scan.selectFirst = false;
            updateCountLabel();
        });
        m_textView->viewport()->installEventFilter(this);
    }
    hide();
}

FindBar::~FindBar()
{
    // Our marks would stay in the text otherwise.
    if (m_textView && m_highlighting)
        m_textView->setExtraSelections({});
}

QString FindBar::searchText() const
{
    return m_searchField->text();
}

void FindBar::setSearchText(const QString &text)
{
    // A search string is one line: the field cannot hold more, and matches never span lines.
    QString line = text;
    const qsizetype end = line.indexOf(QRegularExpression(QStringLiteral("[\\n\\r\\x{2028}\\x{2029}]")));
    if (end >= 0)
        line.truncate(end);
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
        return tr("%1…").arg(m_scan.head.size() + m_scan.tail.size());
    }
    if (m_matches.isEmpty())
        return tr("Not found");
    if (const qsizetype current = currentMatch(); current > 0)
        return tr("%1 of %2").arg(current).arg(m_matches.size());
    return m_matches.size() == 1 ? tr("1 match") : tr("%1 matches").arg(m_matches.size());
}

void FindBar::showFind()
{
    setReplaceMode(false);
    show();
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    m_searchField->selectAll();
    restartCount(false);
    highlightVisible();
}

void FindBar::showReplace()
{
    setReplaceMode(true);
    show();
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    m_searchField->selectAll();
    restartCount(false);
    highlightVisible();
}

void FindBar::done()
{
    hide();
    m_sliceTimer->stop();
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
    const qsizetype position = searchForward(m_textView->textCursor().selectionEnd());
    if (position < 0) {
        updateCountLabel();
        return false;
    }
    selectMatch(position);
    return true;
}

bool FindBar::findPrevious()
{
    if (!m_textView || searchText().isEmpty())
        return false;
    const qsizetype position = searchBackward(m_textView->textCursor().selectionStart());
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
    const QList<qsizetype> matches = allMatches();
    if (matches.isEmpty())
        return 0;
    const qsizetype length = searchText().size();
    const QString replacement = replaceText();
    QTextCursor cursor(m_textView->document());
    m_editing = true;
    cursor.beginEditBlock();
    // Back to front, so the positions still to come stay valid.
    for (auto it = matches.crbegin(); it != matches.crend(); ++it) {
        cursor.setPosition(*it);
        cursor.setPosition(*it + length, QTextCursor::KeepAnchor);
        cursor.insertText(replacement);
    }
    cursor.endEditBlock();
    m_editing = false;
    m_revision = m_textView->document()->revision();
    restartCount(false);
    highlightVisible();
    return matches.size();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (m_textView && watched == m_textView->viewport()) {
        if (event->type() == QEvent::Resize)
            scheduleHighlight();
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
    m_sliceTimer->stop();
    m_recountTimer->stop();
    m_matches.clear();
    m_countValid = false;
    m_scan = Scan{};
    if (!m_textView || searchText().isEmpty() || isHidden()) {
        m_counting = false;
        updateCountLabel();
        return;
    }
    QTextDocument *document = m_textView->document();
    m_revision = document->revision();
    m_scan.origin = m_textView->textCursor().selectionStart();
    m_scan.block = document->findBlock(m_scan.origin);
    m_scan.stopBlock = m_scan.block;
    m_scan.selectFirst = selectFirst;
    m_counting = true;
    scanSlice();
    if (m_counting)
        m_sliceTimer->start();
}

void FindBar::scanSlice()
{
    if (!m_counting || !m_textView) {
        m_sliceTimer->stop();
        return;
    }
    const QString needle = searchText();
    const Qt::CaseSensitivity sensitivity = caseSensitivity();
    QTextDocument *document = m_textView->document();
    QElapsedTimer clock;
    clock.start();
    int blocks = 0;
    for (;;) {
        if (!m_scan.wrapped && !m_scan.block.isValid()) {
            m_scan.wrapped = true;
            m_scan.block = document->begin();
        }
        if (m_scan.wrapped && m_scan.block == m_scan.stopBlock)
            break;
        const QString text = m_scan.block.text();
        const qsizetype base = m_scan.block.position();
        QList<qsizetype> &found = m_scan.wrapped ? m_scan.head : m_scan.tail;
        for (qsizetype at = text.indexOf(needle, 0, sensitivity); at >= 0;
             at = text.indexOf(needle, at + needle.size(), sensitivity)) {
            found.append(base + at);
            if (m_scan.selectFirst && !m_scan.wrapped && base + at >= m_scan.origin) {
                m_scan.selectFirst = false;
                selectMatch(base + at);
            }
        }
        m_scan.block = m_scan.block.next();
        if (++blocks % 64 == 0 && clock.elapsed() >= sliceBudgetMs) {
            updateCountLabel();
            return;
        }
    }
    finishScan();
}

void FindBar::finishScan()
{
    m_sliceTimer->stop();
    m_counting = false;
    m_matches = m_scan.head + m_scan.tail;
    m_countValid = true;
    if (m_scan.selectFirst && !m_matches.isEmpty()) {
        // Nothing after the caret: wrap to the first match of the note.
        m_scan.selectFirst = false;
        selectMatch(m_matches.first());
    }
    m_scan.head.clear();
    m_scan.tail.clear();
    updateCountLabel();
    Q_EMIT countFinished(m_matches.size());
}

void FindBar::highlightVisible()
{
    if (!m_textView)
        return;
    QList<QTextEdit::ExtraSelection> selections;
    const QString needle = searchText();
    if (!isHidden() && !needle.isEmpty()) {
        const Qt::CaseSensitivity sensitivity = caseSensitivity();
        QTextCharFormat format;
        format.setBackground(QColor(255, 222, 77));
        format.setForeground(Qt::black);
        const QRect area = m_textView->viewport()->rect();
        QTextBlock block = m_textView->cursorForPosition(area.topLeft()).block();
        const int last = VisibleBlocks::last(m_textView, block, maxHighlightedBlocks).blockNumber();
        for (int blocks = 0; block.isValid() && block.blockNumber() <= last && blocks < maxHighlightedBlocks;
             block = block.next(), ++blocks) {
            const QString text = block.text();
            for (qsizetype at = text.indexOf(needle, 0, sensitivity);
                 at >= 0 && selections.size() < maxHighlightedMatches;
                 at = text.indexOf(needle, at + needle.size(), sensitivity)) {
                QTextEdit::ExtraSelection selection;
                selection.cursor = QTextCursor(block);
                selection.cursor.setPosition(block.position() + at);
                selection.cursor.setPosition(block.position() + at + needle.size(), QTextCursor::KeepAnchor);
                selection.format = format;
                selections.append(selection);
            }
        }
    }
    // Leave the view's own extra selections alone unless ours are there or coming.
    if (selections.isEmpty() && !m_highlighting)
        return;
    m_highlighting = !selections.isEmpty();
    m_textView->setExtraSelections(selections);
}

void FindBar::scheduleHighlight()
{
    if (!isHidden())
        m_highlightTimer->start();
}

void FindBar::updateCountLabel()
{
    m_countLabel->setText(countText());
}

void FindBar::setReplaceMode(bool on)
{
    m_replaceRow->setVisible(on);
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
    m_sliceTimer->stop();
    m_countValid = false;
    m_matches.clear();
    m_scan = Scan{};
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
    const QString needle = searchText();
    const QTextCursor cursor = m_textView->textCursor();
    return !needle.isEmpty() && cursor.selectionEnd() - cursor.selectionStart() == needle.size() &&
           cursor.selectedText().compare(needle, caseSensitivity()) == 0;
}

void FindBar::selectMatch(qsizetype position)
{
    QTextCursor cursor(m_textView->document());
    cursor.setPosition(position);
    cursor.setPosition(position + searchText().size(), QTextCursor::KeepAnchor);
    m_selecting = true;
    m_textView->setTextCursor(cursor);
    m_textView->ensureCursorVisible();
    m_selecting = false;
    updateCountLabel();
    scheduleHighlight();
}

qsizetype FindBar::searchForward(qsizetype from) const
{
    if (m_countValid) {
        if (m_matches.isEmpty())
            return -1;
        const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), from);
        return it == m_matches.cend() ? m_matches.first() : *it;
    }
    const QString needle = searchText();
    const Qt::CaseSensitivity sensitivity = caseSensitivity();
    QTextDocument *document = m_textView->document();
    const QTextBlock start = document->findBlock(from);
    qsizetype offset = from - start.position();
    for (QTextBlock block = start; block.isValid(); block = block.next(), offset = 0) {
        if (const qsizetype at = block.text().indexOf(needle, offset, sensitivity); at >= 0)
            return block.position() + at;
    }
    // Around from the top, up to and including the block we started in.
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (const qsizetype at = block.text().indexOf(needle, 0, sensitivity); at >= 0)
            return block.position() + at;
        if (block == start)
            break;
    }
    return -1;
}

qsizetype FindBar::searchBackward(qsizetype before) const
{
    if (m_countValid) {
        if (m_matches.isEmpty())
            return -1;
        const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), before);
        return it == m_matches.cbegin() ? m_matches.last() : *(it - 1);
    }
    const QString needle = searchText();
    const Qt::CaseSensitivity sensitivity = caseSensitivity();
    QTextDocument *document = m_textView->document();
    const QTextBlock start = document->findBlock(before);
    const qsizetype offset = before - start.position();
    if (offset > 0) {
        if (const qsizetype at = start.text().lastIndexOf(needle, offset - 1, sensitivity); at >= 0)
            return start.position() + at;
    }
    for (QTextBlock block = start.previous(); block.isValid(); block = block.previous()) {
        if (const qsizetype at = block.text().lastIndexOf(needle, -1, sensitivity); at >= 0)
            return block.position() + at;
    }
    // Around from the bottom, down to and including the block we started in.
    for (QTextBlock block = document->lastBlock(); block.isValid(); block = block.previous()) {
        if (const qsizetype at = block.text().lastIndexOf(needle, -1, sensitivity); at >= 0)
            return block.position() + at;
        if (block == start)
            break;
    }
    return -1;
}

QList<qsizetype> FindBar::allMatches() const
{
    QList<qsizetype> matches;
    const QString needle = searchText();
    const Qt::CaseSensitivity sensitivity = caseSensitivity();
    for (QTextBlock block = m_textView->document()->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        for (qsizetype at = text.indexOf(needle, 0, sensitivity); at >= 0;
             at = text.indexOf(needle, at + needle.size(), sensitivity))
            matches.append(block.position() + at);
    }
    return matches;
}
