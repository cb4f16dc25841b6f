#include "editor/window/textbeforereload.h"

#include "editor/window/editor.h"
#include "editor/view/notetextview.h"

#include <QTimer>

TextBeforeReload::TextBeforeReload(Editor *editor, QString text)
    : m_editor(editor)
    , m_text(std::move(text))
{}

void TextBeforeReload::undo()
{
    if (!m_editor)
        return;
    QTimer::singleShot(0, m_editor.data(), [editor = m_editor.data(), text = m_text] {
        editor->textView()->setText(text);
        editor->textView()->setSelectedRange({text.size(), 0});
        // Setting the text makes it the unmodified one; it is the window's text, not the file's.
        editor->textView()->document()->setModified(true);
        editor->textDidChange();
    });
}
