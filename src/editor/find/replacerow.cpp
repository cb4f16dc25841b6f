#include "editor/find/replacerow.h"

#include "editor/find/textsearch.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

ReplaceRow::ReplaceRow(QPlainTextEdit *textView, QWidget *parent)
    : QWidget(parent)
    , m_textView(textView)
    , m_field(new QLineEdit(this))
{
    m_field->setPlaceholderText(tr("Replace"));
    m_field->setAccessibleName(tr("Replacement text"));
    auto *replaceButton = new QPushButton(tr("Replace"), this);
    auto *replaceAllButton = new QPushButton(tr("All"), this);
    connect(replaceButton, &QPushButton::clicked, this, &ReplaceRow::replaceClicked);
    connect(replaceAllButton, &QPushButton::clicked, this, &ReplaceRow::replaceAllClicked);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_field, 1);
    row->addWidget(replaceButton);
    row->addWidget(replaceAllButton);
}

QString ReplaceRow::text() const
{
    return m_field->text();
}

void ReplaceRow::setText(const QString &text)
{
    m_field->setText(text);
}

bool ReplaceRow::replaceSelection(const TextSearch &search)
{
    if (!m_textView)
        return false;
    QTextCursor cursor = m_textView->textCursor();
    if (!cursor.hasSelection() || !search.isMatch(cursor.selectionStart(), cursor.selectionEnd()))
        return false;
    cursor.insertText(text());
    m_textView->setTextCursor(cursor);
    return true;
}

qsizetype ReplaceRow::replaceAll(const TextSearch &search)
{
    return search.replaceAll(text());
}
