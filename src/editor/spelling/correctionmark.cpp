#include "editor/spelling/correctionmark.h"

#include "editor/view/extraselections.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

// Tells our extra selection from those of others.
constexpr int markProperty = QTextFormat::UserProperty + 0xC0;

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
    ExtraSelections::replaceOwn(m_textView, markProperty, {mark});
    m_timer.start();
}

void CorrectionMark::hide()
{
    m_timer.stop();
    if (!m_textView)
        return;
    ExtraSelections::replaceOwn(m_textView, markProperty, {});
}
