#include "editor/correctionmark.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

// Tells our extra selection from those of others.
constexpr int markProperty = QTextFormat::UserProperty + 0xC0;

QList<QTextEdit::ExtraSelection> withoutMark(QList<QTextEdit::ExtraSelection> selections)
{
    selections.removeIf([](const QTextEdit::ExtraSelection &s) { return s.format.hasProperty(markProperty); });
    return selections;
}

} // namespace

CorrectionMark::CorrectionMark(QPlainTextEdit *textView, QObject *parent)
    : QObject(parent)
    , m_textView(textView)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(shownMs);
    connect(&m_timer, &QTimer::timeout, this, &CorrectionMark::hide);
}

CorrectionMark::~CorrectionMark() = default;

void CorrectionMark::show(qsizetype position, qsizetype length)
{
    if (!m_textView)
        return;
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(m_textView->document());
    mark.cursor.setPosition(int(position));
    mark.cursor.setPosition(int(position + length), QTextCursor::KeepAnchor);
    mark.format.setUnderlineStyle(QTextCharFormat::DashUnderline);
    mark.format.setUnderlineColor(m_textView->palette().color(QPalette::Highlight));
    mark.format.setProperty(markProperty, true);
    QList<QTextEdit::ExtraSelection> selections = withoutMark(m_textView->extraSelections());
    selections.append(mark);
    m_textView->setExtraSelections(selections);
    m_timer.start();
}

void CorrectionMark::hide()
{
    m_timer.stop();
    if (!m_textView)
        return;
    const QList<QTextEdit::ExtraSelection> selections = m_textView->extraSelections();
    const QList<QTextEdit::ExtraSelection> others = withoutMark(selections);
    if (others.size() != selections.size())
        m_textView->setExtraSelections(others);
}
