#include "editor/window/editor.h"

#include "editor/commands/actiondispatcher.h"
#include "editor/find/findbar.h"
#include "editor/find/findcommands.h"
#include "editor/printing/printcommand.h"
#include "editor/spelling/spellingcommands.h"
#include "editor/view/editingcommands.h"
#include "editor/view/notetextview.h"
#include "editor/view/textzoom.h"
#include "editor/view/wordcounter.h"
#include "editor/window/filedrop.h"
#include "editor/window/notewindowsetup.h"
#include "editor/window/otherversions.h"
#include "editor/window/textbeforereload.h"
#include "storage/plaintextdocument.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace {

constexpr QSize windowSize(780, 600);
constexpr QSize minimumWindowSize(360, 240);
constexpr int textFontPointSize = 15;
constexpr int textPadding = 5;
constexpr int stripHeight = 26;
constexpr int labelSideMargin = 10;
constexpr int labelBottomMargin = 6;
constexpr int labelFontPointSize = 11;

QFont fixedFont(int pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(pointSize);
    return font;
}

// Whether text may be cut before i without changing how its parts decompose: a character that combines with
// nothing before it starts there.
bool startsCharacter(QStringView text, qsizetype i)
{
    if (i <= 0 || i >= text.size())
        return true;
    if (text[i].isLowSurrogate())
        return false;
    char32_t c = text[i].unicode();
    if (text[i].isHighSurrogate() && i + 1 < text.size())
        c = QChar::surrogateToUcs4(text[i], text[i + 1]);
    return QChar::combiningClass(c) == 0 && !QChar::isMark(c);
}

// The toolkit decomposes a long text in time that grows with the square of its length: a part at a time instead.
QString decomposed(QStringView text)
{
    constexpr qsizetype part = 1024;
    QString result;
    result.reserve(text.size());
    for (qsizetype from = 0, to = 0; from < text.size(); from = to) {
        to = std::min(from + part, text.size());
        while (!startsCharacter(text, to))
            ++to;
        result += text.sliced(from, to - from).toString().normalized(QString::NormalizationForm_D);
    }
    return result;
}

// Texts that differ only in how accented characters are composed are the same note. Only the part between what
// they share at the start and at the end is decomposed.
bool canonicallyEqual(QStringView a, QStringView b)
{
    if (a == b)
        return true;
    const qsizetype shortest = std::min(a.size(), b.size());
    qsizetype head = std::mismatch(a.begin(), a.begin() + shortest, b.begin()).first - a.begin();
    while (!startsCharacter(a, head) || !startsCharacter(b, head))
        --head;
    qsizetype tail = std::mismatch(a.rbegin(), a.rbegin() + (shortest - head), b.rbegin()).first - a.rbegin();
    while (!startsCharacter(a, a.size() - tail) || !startsCharacter(b, b.size() - tail))
        --tail;
    return decomposed(a.sliced(head, a.size() - head - tail)) == decomposed(b.sliced(head, b.size() - head - tail));
}

QList<NoteTextView::Range> clamped(QList<NoteTextView::Range> ranges, qsizetype length)
{
    for (NoteTextView::Range &range : ranges) {
        range.location = std::min(range.location, length);
        range.length = std::min(range.length, length - range.location);
    }
    return ranges;
}

} // namespace

Editor::Editor(const EditorServices &services, QObject *parent)
    : WindowController(new QWidget, parent)
{
    QWidget *frame = window();
    frame->setObjectName(QStringLiteral("QuorbellDocument"));
    frame->resize(windowSize);
    frame->setMinimumSize(minimumWindowSize);
    frame->setWindowTitle(tr("New Note"));

    setUpTextView(services.zoom);
    auto *textColumn = new QVBoxLayout(frame);
    textColumn->setContentsMargins(0, 0, 0, 0);
    textColumn->setSpacing(0);
    textColumn->addWidget(m_textView, 1);
    textColumn->addWidget(attachTools(services));
    textColumn->addWidget(makeWordCountStrip());

    m_wordCounter = new WordCounter(m_textView->document(), this, [view = QPointer<NoteTextView>(m_textView)] {
        return view ? view->incomingText() : QStringView();
    });
    // The counter may finish a recount after the edit signal; the label follows it either way.
    connect(m_wordCounter, &WordCounter::totalChanged, this, &Editor::showWordCount);
    connect(m_textView, &NoteTextView::textEdited, this, &Editor::textDidChange);
    connect(m_textView, &NoteTextView::loaded, this, &Editor::updateWordCount);
    connect(m_textView, &NoteTextView::loaded, this, [this] {
        if (document())
            document()->textShownWhole(m_textView->shownBlocks());
    });
    frame->installEventFilter(this);
    NoteWindowSetup::finishWindow(frame);
    new FileDrop(frame, services.open);
    m_textView->setFocus();
}

void Editor::setUpTextView(TextZoom *zoom)
{
    m_textView = new NoteTextView;
    m_textView->setFrameShape(QFrame::NoFrame);
    m_textView->setFont(fixedFont(textFontPointSize));
    m_textView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_textView->setAccessibleName(tr("Document text"));
    m_textView->setAccessibleDescription(tr("Plain text. Changes save automatically."));
    // Laid out once: everything that shapes the layout comes before the text.
    NoteWindowSetup::prepareTextView(window(), m_textView, zoom);
    m_textView->document()->setDocumentMargin(textPadding);
}

QWidget *Editor::makeWordCountStrip()
{
    m_wordCountLabel = new QLabel(QStringLiteral("0"));
    m_wordCountLabel->setFont(fixedFont(labelFontPointSize));
    // At the end of the line as the window reads, the left in a right-to-left one: a label would go by its text's
    // own direction, and digits have none.
    const Qt::Alignment lineEnd = m_wordCountLabel->isRightToLeft() ? Qt::AlignLeft : Qt::AlignRight;
    m_wordCountLabel->setAlignment(lineEnd | Qt::AlignAbsolute | Qt::AlignBottom);
    m_wordCountLabel->setAccessibleName(tr("Word count"));
    m_wordCountLabel->setAccessibleDescription(m_wordCountLabel->text());
    QPalette palette = m_wordCountLabel->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    m_wordCountLabel->setPalette(palette);

    auto *strip = new QWidget;
    strip->setFixedHeight(stripHeight);
    auto *stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(labelSideMargin, 0, labelSideMargin, labelBottomMargin);
    stripLayout->addWidget(m_wordCountLabel, 1, Qt::AlignBottom);
    return strip;
}

QWidget *Editor::attachTools(const EditorServices &services)
{
    auto *findBar = new FindBar(m_textView);
    auto *editing = new EditingCommands(m_textView, this);
    auto *find = new FindCommands(m_textView, findBar, this);
    auto *spelling = new SpellingCommands(m_textView, this);
    spelling->followSetting(services.spelling);
    auto *print = new PrintCommand(
        m_textView, this, [this] { return document() ? document()->displayName() : window()->windowTitle(); },
        TextZoom::defaultPointSize, this);
    if (ActionDispatcher *dispatcher = services.dispatcher) {
        for (QWidget *widget : {static_cast<QWidget *>(m_textView), window()}) {
            dispatcher->setHelperResponder(widget, editing);
            dispatcher->setHelperResponder(widget, find);
            dispatcher->setHelperResponder(widget, spelling);
        }
        dispatcher->setHelperResponder(window(), print);
    }
    m_textView->setContextMenuExtender(
        [spelling = QPointer<SpellingCommands>(spelling)](QMenu *menu, const QPoint &position) {
            if (spelling)
                spelling->extendContextMenu(menu, position);
        });
    return findBar;
}

void Editor::openFor(Document *note, const EditorServices &services, WindowController *prepared)
{
    auto *plain = qobject_cast<PlainTextDocument *>(note);
    auto *editor = qobject_cast<Editor *>(prepared);
    if (!plain || !editor)
        delete prepared;
    if (!plain)
        return;
    if (!editor)
        editor = new Editor(services);
    editor->m_textView->setText(plain->text());
    editor->updateWordCount();
    editor->setDocument(note);
    plain->setPresenter(editor);
    // Undoing back to the text the file holds leaves nothing to save, as the window's history knows.
    QTextDocument *text = editor->m_textView->document();
    text->setModified(note->isDocumentEdited());
    connect(note, &Document::documentEditedChanged, text, [text](bool edited) {
        if (!edited)
            text->setModified(false);
    });
    connect(text, &QTextDocument::modificationChanged, note, [note](bool modified) {
        if (!modified && note->isDocumentEdited())
            note->updateChangeCount(Document::ChangeType::Reverted);
    });
    new OtherVersions(editor, plain, services.open, editor);
}

Editor::~Editor()
{
    if (PlainTextDocument *note = textDocument())
        note->presenterWillClose(*this);
}

void Editor::awaitDocument(const QString &fileName)
{
    WindowController::awaitDocument(fileName);
    m_textView->awaitText();
    updateWordCount();
}

NoteTextView *Editor::textView() const
{
    return m_textView;
}

PlainTextDocument *Editor::textDocument() const
{
    return qobject_cast<PlainTextDocument *>(document());
}

void Editor::updateWordCount()
{
    showWordCount(m_wordCounter->total());
}

void Editor::showWordCount(int total)
{
    // A big note is still coming into the view: its count is not known yet.
    const QString count = m_textView->isLoading() ? tr("…") : QString::number(total);
    // Most keys leave the count as it was; telling assistive technology each time costs more than the key.
    if (count == m_wordCountLabel->text())
        return;
    m_wordCountLabel->setText(count);
    m_wordCountLabel->setAccessibleDescription(count);
}

QString Editor::windowTitle(const QString &documentDisplayName) const
{
    // A leading dot names a hidden file, not an extension.
    const qsizetype dot = documentDisplayName.lastIndexOf(u'.');
    if (dot <= 0)
        return documentDisplayName;
    return documentDisplayName.left(dot);
}

QString Editor::presentedText() const
{
    return m_textView->text();
}

std::function<ByteParts()> Editor::presentedBytesSnapshot() const
{
    return [snapshot = m_textView->snapshot()] {
        return snapshot.bytes();
    };
}

void Editor::presentText(const QString &text)
{
    QString shown = m_textView->text();
    if (canonicallyEqual(shown, text))
        return;
    const QList<NoteTextView::Range> ranges = clamped(m_textView->selectedRanges(), text.size());
    m_textView->setText(text);
    m_textView->setSelectedRanges(ranges);
    updateWordCount();
    // The text the window showed comes back with Undo, as one step. Parts of a long note come in with the history
    // off, which would drop it: it goes on once they are all in.
    const auto keepForUndo = [this, shown = std::move(shown)] {
        m_textView->document()->appendUndoItem(new TextBeforeReload(m_textView, shown, [this] { textDidChange(); }));
    };
    if (m_textView->isLoading())
        connect(m_textView, &NoteTextView::loaded, this, keepForUndo, Qt::SingleShotConnection);
    else
        keepForUndo();
}

void Editor::textDidChange()
{
    updateWordCount();
    PlainTextDocument *note = textDocument();
    if (!note) {
        // Without a note there is nothing to undo into.
        m_textView->document()->clearUndoRedoStacks();
        return;
    }
    note->updateChangeCount(Document::ChangeType::Done);
}

bool Editor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window() && event->type() == QEvent::Show)
        m_textView->setFocus();
    // Typing held while a big note loads goes in before the note is written for closing.
    if (watched == window() && event->type() == QEvent::Close && m_textView->holdsEdits())
        m_textView->finishLoading();
    return WindowController::eventFilter(watched, event);
}
