#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class TextSearch;

// The find bar's second row, shown in replace mode: the replacement text with "Replace" and "All", and the
// replacing itself.
class ReplaceRow : public QWidget
{
    Q_OBJECT

public:
    explicit ReplaceRow(QPlainTextEdit *textView, QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }
    QString text() const;
    void setText(const QString &text);

    // Replaces the selection when it is a match of search; false when it is none.
    bool replaceSelection(const TextSearch &search);
    // Replaces every match of search as one undo step and returns how many were replaced.
    qsizetype replaceAll(const TextSearch &search);

Q_SIGNALS:
    void replaceClicked();
    void replaceAllClicked();

private:
    QPointer<QPlainTextEdit> m_textView;
    QLineEdit *m_field = nullptr;
};
