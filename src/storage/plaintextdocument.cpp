#include "plaintextdocument.h"

#include "editor/editor.h"
#include "editor/notetextview.h"
#include "storage/utf8.h"

#include <algorithm>

namespace {

constexpr int notPlainTextCode = 261;

// Texts that differ only in how accented characters are composed are the same note.
bool canonicallyEqual(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
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

PlainTextDocument::PlainTextDocument(QObject *parent)
    : Document(parent)
{
    setFileType(QString::fromLatin1(typeName));
}

PlainTextDocument::~PlainTextDocument() = default;

Error PlainTextDocument::notPlainTextError()
{
    return Error(QString::fromUtf16(ErrorDomain::cocoa), notPlainTextCode,
                 QStringLiteral("This file is not UTF-8 plain text."));
}

Editor *PlainTextDocument::liveEditor() const
{
    const QList<WindowController *> controllers = windowControllers();
    for (WindowController *controller : controllers) {
        if (auto *editor = qobject_cast<Editor *>(controller))
            return editor;
    }
    return nullptr;
}

QString PlainTextDocument::text() const
{
    if (const Editor *editor = liveEditor())
        return editor->textView()->text();
    return m_text;
}

void PlainTextDocument::setText(const QString &text)
{
    m_text = text;
    const QList<WindowController *> controllers = windowControllers();
    for (WindowController *controller : controllers) {
        auto *editor = qobject_cast<Editor *>(controller);
        if (!editor)
            continue;
        NoteTextView *view = editor->textView();
        // Leaves selection, undo history and count alone when nothing really changed.
        if (canonicallyEqual(view->text(), text))
            continue;
        const QList<NoteTextView::Range> ranges = clamped(view->selectedRanges(), text.size());
        view->setText(text);
        view->setSelectedRanges(ranges);
        editor->updateWordCount();
    }
}

void PlainTextDocument::editorWillClose(Editor *editor)
{
    m_text = editor->textView()->text();
}

void PlainTextDocument::makeWindowControllers()
{
    addWindowController(new Editor(fileUrl(), text()));
    // The editor holds the text from now on and hands it back when it closes; a second copy of a big note would
    // only take memory.
    if (liveEditor())
        m_text = QString();
}

void PlainTextDocument::read(const QByteArray &data, const QString &typeName)
{
    Q_UNUSED(typeName);
    std::optional<QString> decoded = Utf8::decode(data);
    if (!decoded)
        throw notPlainTextError();
    setText(*decoded);
}

QByteArray PlainTextDocument::data(const QString &typeName) const
{
    Q_UNUSED(typeName);
    return text().toUtf8();
}

std::function<QByteArray()> PlainTextDocument::dataTask(const QString &typeName) const
{
    if (const Editor *editor = liveEditor())
        return [snapshot = editor->textView()->snapshot()] {
            return snapshot.text().toUtf8();
        };
    return Document::dataTask(typeName);
}
