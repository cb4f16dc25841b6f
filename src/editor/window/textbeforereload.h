#pragma once

#include <QAbstractUndoItem>
#include <QPointer>
#include <QString>

class Editor;

// The window's text before another version was put in its place, brought back by Undo as one step. The text
// document calls undo() in the middle of its own undo, so the text goes back once that has finished; as any edit,
// it is then written to the file.
class TextBeforeReload : public QAbstractUndoItem
{
public:
    TextBeforeReload(Editor *editor, QString text);
    void undo() override;
    void redo() override {}

private:
    QPointer<Editor> m_editor;
    QString m_text;
};
