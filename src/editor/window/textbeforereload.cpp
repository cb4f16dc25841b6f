#include "editor/window/textbeforereload.h"

#include "editor/view/notetextview.h"

#include <QTimer>

TextBeforeReload::TextBeforeReload(NoteTextView *view, QString text, std::function<void()> edited)
    : m_view(view)
    , m_text(std::move(text))
    , m_edited(std::move(edited))
{}

void TextBeforeReload::undo()
{
    if (!m_view)
        return;
    QTimer::singleShot(0, m_view.data(), [view = m_view.data(), text = m_text, edited = m_edited] {
        view->setText(text);
        view->setSelectedRange({text.size(), 0});
        // Setting the text makes it the unmodified one; it is the window's text, not the file's.
        view->document()->setModified(true);
        edited();
    });
}
