#pragma once

#include <QString>
#include <QStringView>

class QPlainTextEdit;

// "Make Upper Case", "Make Lower Case" and "Capitalize": full Unicode case mapping by ICU's root rules
// ("straße" becomes "STRASSE", a Turkish dotted İ lowercases to i with a combining dot), scripts without case
// untouched. Each acts on the selection, or on the word at the caret when nothing is selected: the word the
// caret is in or touches, the one before it when it touches two; with the caret in blank space or punctuation
// nothing changes. Each change is one undo step, and afterwards the selection covers the changed text.
namespace CaseTransform {

enum class Mapping
{
    Upper,
    Lower,
    Capitalize
};

// The text mapped as a whole; Capitalize upper-cases (title-cases) the first letter of each word and lowers
// the rest.
QString mapped(QStringView text, Mapping mapping);

// False when there was nothing to act on (no selection and no word at the caret).
bool apply(QPlainTextEdit *view, Mapping mapping);

inline bool uppercaseWord(QPlainTextEdit *view)
{
    return apply(view, Mapping::Upper);
}
inline bool lowercaseWord(QPlainTextEdit *view)
{
    return apply(view, Mapping::Lower);
}
inline bool capitalizeWord(QPlainTextEdit *view)
{
    return apply(view, Mapping::Capitalize);
}

} // namespace CaseTransform
