#pragma once

#include "editor/window/editorservices.h"
#include "framework/error.h"
#include "editor/window/windowcontroller.h"
#include "storage/textpresenter.h"

#include <QUrl>

#include <optional>

class NoteTextView;
class PlainTextDocument;
class QLabel;
class QTimer;
class WordCounter;

// The window of one open note: its text view above a strip with the live word count. Writes the note back
// 0.3 s after the last edit.
class Editor : public WindowController, public TextPresenter
{
    Q_OBJECT
    Q_INTERFACES(TextPresenter)

public:
    // A window with no note yet: hidden, and no note window to the rest of the app until it shows one.
    explicit Editor(const EditorServices &services = {}, QObject *parent = nullptr);
    ~Editor() override;
    // Gives a note that was read its window, which shows its text from now on: prepared, when it is an Editor made
    // with the same services while the note was read, else a new one.
    static void openFor(Document *note, const EditorServices &services = {}, WindowController *prepared = nullptr);

    NoteTextView *textView() const;
    // The attached document when it is a note, else none.
    PlainTextDocument *textDocument() const;

    void awaitDocument(const QString &fileName) override;
    void updateWordCount();
    QString windowTitle(const QString &documentDisplayName) const override;
    QString presentedText() const override;
    std::function<ByteParts()> presentedBytesSnapshot() const override;
    // Leaves selection, undo history and count alone when nothing really changed.
    void presentText(const QString &text) override;

    // The user's edit: recount and mark the note changed, which writes it after the pause.
    void textDidChange();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpTextView(TextZoom *zoom);
    QWidget *makeWordCountStrip();
    // Each tool answers its own menu commands, before the text view and for the window (also when the focus is in
    // the find bar). Returns the find bar, which goes under the text.
    QWidget *attachTools(const EditorServices &services);
    void showWordCount(int total);

    NoteTextView *m_textView = nullptr;
    QLabel *m_wordCountLabel = nullptr;
    WordCounter *m_wordCounter = nullptr;
};
