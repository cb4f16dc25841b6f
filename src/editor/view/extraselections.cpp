#include "editor/view/extraselections.h"

#include <QPlainTextEdit>

void ExtraSelections::replaceOwn(QPlainTextEdit *view, int ownerProperty, QList<QTextEdit::ExtraSelection> selections)
{
    QList<QTextEdit::ExtraSelection> all = view->extraSelections();
    const qsizetype before = all.size();
    all.removeIf([ownerProperty](const QTextEdit::ExtraSelection &s) { return s.format.hasProperty(ownerProperty); });
    if (all.size() == before && selections.isEmpty())
        return; // nothing of ours there, nothing coming: no repaint
    for (QTextEdit::ExtraSelection &selection : selections)
        selection.format.setProperty(ownerProperty, true);
    all.append(selections);
    view->setExtraSelections(all);
}
