#pragma once

#include <QTextBlock>

class QPlainTextEdit;

namespace VisibleBlocks {

// The last paragraph in view, walking down from first (the first paragraph in view) and adding up heights: the
// view's own hit test answers the end of the note for points below what it has laid out so far.
QTextBlock last(const QPlainTextEdit *view, QTextBlock first, int maxBlocks);

} // namespace VisibleBlocks
