#pragma once

#include "editor/editorservices.h"
#include "framework/error.h"
#include "editor/windowcontroller.h"
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
    static constexpr int saveDelayMs = 300;
    // A save that failed is tried again after this, then after twice as long each time up to the most.
    static constexpr int firstRetryMs = 1000;
    static constexpr int mostRetryMs = 60000;

    Editor(const QUrl &url, const QString &text, const EditorServices &services = {}, QObject *parent = nullptr);
    ~Editor() override;
    // Gives a note that was read its window, which shows its text from now on.
    static void openFor(Document *note, const EditorServices &services = {});

    NoteTextView *textView() const;
    // The attached document when it is a note, else none.
    PlainTextDocument *textDocument() const;
    // The last save timer scheduled, or none before the first edit.
    QTimer *pendingSave() const;
    // The retry after a failed save, or none while saves succeed.
    QTimer *pendingRetry() const;

    void updateWordCount();
    QString windowTitle(const QString &documentDisplayName) const override;
    QString presentedText() const override;
    std::function<QByteArray()> presentedBytesSnapshot() const override;
    // Leaves selection, undo history and count alone when nothing really changed.
    void presentText(const QString &text) override;

    // The user's edit: recount, mark the note changed and restart the save timer.
    void textDidChange();
    // The one save timer of the note: a write 0.3 s after the last edit of a burst.
    void scheduleSave() override;
    // Print… belongs to the window that shows the text; the rest to every window.
    bool answers(Command command) const override;
    void perform(Command command, const QVariant &argument) override;

Q_SIGNALS:
    void autosaveRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpTextView(const QString &text, TextZoom *zoom);
    QWidget *makeWordCountStrip();
    // Returns the find bar, which goes under the text.
    QWidget *attachTextTools(const EditorServices &services);
    void showWordCount(int total);
    void autosavePendingEdit();
    void autosaveFinished(const std::optional<Error> &error);

    NoteTextView *m_textView = nullptr;
    QLabel *m_wordCountLabel = nullptr;
    WordCounter *m_wordCounter = nullptr;
    QTimer *m_pendingSave = nullptr;
    // After a failed save: tries again later, waiting longer each time, and shows the same failure only once.
    QTimer *m_retrySave = nullptr;
    int m_retryDelayMs = 0;
    std::optional<Error> m_shownFailure;
};
