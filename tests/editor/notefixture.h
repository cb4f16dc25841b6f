#pragma once

#include "editor/window/editor.h"
#include "editor/messages/messagebar.h"
#include "editor/view/notetextview.h"
#include "editor/find/findbar.h"
#include "editor/spelling/spellingcommands.h"
#include "editor/view/textzoom.h"
#include "storage/plaintextdocument.h"
#include "support/testnotes.h"
#include "support/testsupport.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>

#include <memory>

// What the editor and document tests share: a note opened the way the app opens it, and what its window shows.
namespace NoteFixture {

inline QString shownCount(const Editor *editor)
{
    for (const QLabel *label : editor->window()->findChildren<QLabel *>()) {
        if (label->accessibleName() == u"Word count")
            return label->text();
    }
    return QString();
}

inline Editor *editorOf(const PlainTextDocument &note)
{
    const QList<WindowController *> controllers = WindowController::of(&note);
    return controllers.isEmpty() ? nullptr : qobject_cast<Editor *>(controllers.first());
}

// Decoded from bytes with one editor made, as the app does before showing a note.
inline Editor *readWithEditor(PlainTextDocument &note, const QByteArray &bytes)
{
    note.setText(note.decoder()(bytes, {}));
    Editor::openFor(&note);
    return editorOf(note);
}

// Opens the note at path the way the app does: read, one editor, shown.
inline std::unique_ptr<PlainTextDocument> openNote(const QString &path, const EditorServices &services = {})
{
    auto note = std::make_unique<PlainTextDocument>(&TestNotes::services());
    note->setFileUrl(QUrl::fromLocalFile(path));
    TestNotes::read(*note, note->fileUrl());
    Editor::openFor(note.get(), services);
    editorOf(*note)->showWindow();
    return note;
}

// Clicks the bar's button shown as text, as the user does; false when the bar has none.
inline bool clickButton(const MessageBar *bar, const QString &text)
{
    for (QPushButton *button : bar ? bar->buttons() : QList<QPushButton *>()) {
        if (button->text() == text) {
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        }
    }
    return false;
}

inline void typeAtEnd(NoteTextView *view, const QString &text)
{
    view->setSelectedRange({view->textLength(), 0});
    QTest::keyClicks(view, text);
}

// A note opened from Notes/Note.txt in a folder of its own, as the app opens it, with its text view focused.
struct ShownNote
{
    TextZoom zoom;
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("Notes/Note.txt"));
    std::unique_ptr<PlainTextDocument> note;
    Editor *editor = nullptr;
    NoteTextView *view = nullptr;

    explicit ShownNote(const QByteArray &bytes = {})
    {
        QDir().mkpath(folder.filePath(QStringLiteral("Notes")));
        TestSupport::writeBytes(path, bytes);
        note = openNote(path, {.zoom = &zoom});
        editor = editorOf(*note);
        view = editor->textView();
        QApplication::setActiveWindow(editor->window());
        view->setFocus();
        view->setSelectedRange({view->textLength(), 0});
    }
    SpellingCommands *spelling() const { return editor->findChild<SpellingCommands *>(); }
    FindBar *findBar() const { return editor->window()->findChild<FindBar *>(); }
};

} // namespace NoteFixture
