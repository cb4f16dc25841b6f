#include "editor/view/visibleblocks.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace VisibleBlocks {

QTextBlock last(const QPlainTextEdit *view, QTextBlock block, int maxBlocks)
{
    const qreal height = view->viewport()->height();
    const QAbstractTextDocumentLayout *layout = view->document()->documentLayout();
    qreal covered = view->cursorRect(QTextCursor(block)).top();
    for (int count = 0; block.isValid() && count < maxBlocks; ++count) {
        covered += layout->blockBoundingRect(block).height();
        if (covered >= height || !block.next().isValid())
            return block;
        block = block.next();
    }
    return block.isValid() ? block : view->document()->lastBlock();
}

} // namespace VisibleBlocks
