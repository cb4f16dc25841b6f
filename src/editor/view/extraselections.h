#pragma once

#include <QList>
#include <QTextEdit>

class QPlainTextEdit;

// A text view's extra selections are one list shared by everyone who marks text in it (find matches, the
// correction underline). Each owner tags its own with a format property and replaces only those.
namespace ExtraSelections {

// Replaces the view's selections tagged with ownerProperty by selections, which get the tag; the others stay.
void replaceOwn(QPlainTextEdit *view, int ownerProperty, QList<QTextEdit::ExtraSelection> selections);

} // namespace ExtraSelections
