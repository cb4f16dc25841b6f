#pragma once

#include <QAbstractUndoItem>
#include <QPointer>
#include <QString>

#include <functional>

class NoteTextView;

// The window's text before another version was put in its place, brought back by Undo as one step. The text
// document calls undo() in the middle of its own undo, so the text goes back once that has finished; as any edit,
// it is then written to the file.
class TextBeforeReload : public QAbstractUndoItem
{
public:
    // edited: told once the text is back, as after the user's own edit; it lives as long as view.
    TextBeforeReload(NoteTextView *view, QString text, std::function<void()> edited);
    void undo() override;
    void redo() override {}

private:
    QPointer<NoteTextView> m_view;
    QString m_text;
    std::function<void()> m_edited;
};
