// TEMPORARY stand-ins for pieces other developers are writing; deleted before this branch is finished.
#include "editor/notetextview.h"
#include "editor/wordcounter.h"
#include "framework/document.h"
#include "framework/durablewriter.h"
#include "framework/windowcontroller.h"
#include "storage/utf8.h"

#include <QFile>
#include <QMessageBox>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

#include <memory>

namespace Utf8 {
bool isValid(const char *data, qsizetype size)
{
    return decode(QByteArray(data, size)).has_value();
}
std::optional<QString> decode(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
} // namespace Utf8

int WordCounter::count(QStringView text)
{
    int words = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text.toString());
    qsizetype start = 0;
    while (finder.toNextBoundary() >= 0) {
        const qsizetype end = finder.position();
        for (qsizetype i = start; i < end; ++i)
            if (text[i].isLetterOrNumber()) {
                ++words;
                break;
            }
        start = end;
    }
    return words;
}
static QHash<const WordCounter *, std::pair<QTextDocument *, int>> counters;
WordCounter::WordCounter(QTextDocument *document, QObject *parent)
    : QObject(parent)
{
    counters[this] = {document, 0};
    recountAll();
    connect(document, &QTextDocument::contentsChanged, this, &WordCounter::recountAll);
}
WordCounter::~WordCounter()
{
    counters.remove(this);
}
int WordCounter::total() const
{
    return counters[this].second;
}
void WordCounter::recountAll()
{
    auto &entry = counters[this];
    entry.second = count(entry.first->toPlainText());
    Q_EMIT totalChanged(entry.second);
}

static QHash<const NoteTextView *, bool> programmatic;
NoteTextView::NoteTextView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!programmatic.value(this))
            Q_EMIT textEdited();
    });
}
NoteTextView::~NoteTextView()
{
    programmatic.remove(this);
}
QString NoteTextView::text() const
{
    return toPlainText();
}
void NoteTextView::setText(const QString &text)
{
    programmatic[this] = true;
    setPlainText(text);
    programmatic[this] = false;
}
qsizetype NoteTextView::textLength() const
{
    return text().size();
}
QList<NoteTextView::Range> NoteTextView::selectedRanges() const
{
    return {selectedRange()};
}
void NoteTextView::setSelectedRanges(const QList<Range> &ranges)
{
    if (!ranges.isEmpty())
        setSelectedRange(ranges.first());
}
NoteTextView::Range NoteTextView::selectedRange() const
{
    const QTextCursor c = textCursor();
    return {c.selectionStart(), c.selectionEnd() - c.selectionStart()};
}
void NoteTextView::setSelectedRange(Range range)
{
    QTextCursor c = textCursor();
    c.setPosition(range.location);
    c.setPosition(range.location + range.length, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

struct DocState
{
    QUrl url;
    QString type;
    int changes = 0;
    QList<QPointer<WindowController>> controllers;
};
static QHash<const Document *, DocState> docs;
Document::Document(QObject *parent)
    : QObject(parent)
{
    docs[this];
}
Document::~Document()
{
    const auto controllers = docs[this].controllers;
    docs.remove(this);
    for (const auto &c : controllers)
        delete c.data();
}
QUrl Document::fileUrl() const
{
    return docs[this].url;
}
void Document::setFileUrl(const QUrl &url)
{
    docs[this].url = url;
}
QString Document::fileType() const
{
    return docs[this].type;
}
void Document::setFileType(const QString &typeName)
{
    docs[this].type = typeName;
}
QString Document::displayName() const
{
    return fileUrl().isEmpty() ? QStringLiteral("Untitled") : fileUrl().fileName();
}
void Document::updateChangeCount(ChangeType change)
{
    docs[this].changes = change == ChangeType::Cleared ? 0 : docs[this].changes + 1;
}
bool Document::isDocumentEdited() const
{
    return docs[this].changes > 0;
}
void Document::addWindowController(WindowController *controller)
{
    docs[this].controllers.append(controller);
    controller->setDocument(this);
}
QList<WindowController *> Document::windowControllers() const
{
    QList<WindowController *> list;
    for (const auto &c : docs[this].controllers)
        if (c)
            list.append(c);
    return list;
}
void Document::makeWindowControllers()
{}
void Document::showWindows()
{
    for (WindowController *c : windowControllers())
        c->showWindow();
}
void Document::readFromUrl(const QUrl &url, const QString &typeName)
{
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        throw Error::fromErrno(ENOENT, QStringLiteral("Could not open"), url.toLocalFile());
    read(file.readAll(), typeName);
}
void Document::writeSafely(const QUrl &url, const QString &typeName, SaveOperation)
{
    DurableWriter::replace(url.toLocalFile(), data(typeName));
}
void Document::autosave(bool, const Completion &completion)
{
    try {
        writeSafely(fileUrl(), fileType(), SaveOperation::Autosave);
        updateChangeCount(ChangeType::Cleared);
        completion(std::nullopt);
    } catch (const Error &error) {
        completion(error);
    }
}
bool Document::prepareToClose()
{
    return true;
}
void Document::close()
{
    deleteLater();
}

struct ControllerState
{
    std::unique_ptr<QWidget> window;
    QPointer<Document> document;
};
static QHash<const WindowController *, ControllerState *> controllersState;
WindowController::WindowController(QWidget *window, QObject *parent)
    : QObject(parent)
{
    controllersState[this] = new ControllerState{std::unique_ptr<QWidget>(window), {}};
}
WindowController::~WindowController()
{
    delete controllersState.take(this);
}
QWidget *WindowController::window() const
{
    return controllersState[this]->window.get();
}
Document *WindowController::document() const
{
    return controllersState[this]->document;
}
void WindowController::setDocument(Document *document)
{
    controllersState[this]->document = document;
    synchronizeWindowTitleWithDocumentName();
}
QString WindowController::windowTitle(const QString &name) const
{
    return name;
}
void WindowController::synchronizeWindowTitleWithDocumentName()
{
    if (document())
        window()->setWindowTitle(windowTitle(document()->displayName()));
}
void WindowController::showWindow()
{
    window()->show();
}
void WindowController::presentError(const Error &error)
{
    QMessageBox box(QMessageBox::Critical, QString(), error.description(), QMessageBox::Ok, window());
    box.exec();
}
WindowController *WindowController::forWindow(const QWidget *)
{
    return nullptr;
}
void WindowController::performClose(QObject *)
{}
void WindowController::performMiniaturize(QObject *)
{}
void WindowController::performZoom(QObject *)
{}
