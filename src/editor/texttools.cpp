#include "editor/texttools.h"

#include "editor/findbar.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVariant>

namespace {

int tagOf(const QObject *sender)
{
    return sender ? sender->property("tag").toInt() : 0;
}

} // namespace

TextTools::TextTools(QPlainTextEdit *textView, FindBar *findBar, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
    , m_findBar(findBar)
{}

TextTools::~TextTools() = default;

QPlainTextEdit *TextTools::textView() const
{
    return m_textView;
}

FindBar *TextTools::findBar() const
{
    return m_findBar;
}

void TextTools::performFindPanelAction(QObject *sender)
{
    if (!m_findBar || !m_textView)
        return;
    switch (tagOf(sender)) {
    case ShowFindInterface:
        m_findBar->showFind();
        break;
    case ShowReplaceInterface:
        m_findBar->showReplace();
        break;
    case NextMatch:
        m_findBar->findNext();
        break;
    case PreviousMatch:
        m_findBar->findPrevious();
        break;
    case SetSearchString:
        if (const QString selected = m_textView->textCursor().selectedText(); !selected.isEmpty())
            m_findBar->setSearchText(selected);
        break;
    default:
        break;
    }
}

void TextTools::centerSelectionInVisibleArea(QObject *)
{
    if (!m_textView)
        return;
    // centerCursor() centres the caret; for a selection that is its moving end, which is what the user last saw.
    m_textView->centerCursor();
}
