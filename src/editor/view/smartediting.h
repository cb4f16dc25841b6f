#pragma once

#include <QObject>
#include <QPointer>

class QPlainTextEdit;
class QTextCursor;

// Smart insert and delete in a text view: deleting or cutting whole words takes the space between words with
// them, and pasting words adds the spaces they need. Each edit is one undo step.
class SmartEditing : public QObject
{
    Q_OBJECT

public:
    explicit SmartEditing(QPlainTextEdit *textView, QObject *parent = nullptr);
    ~SmartEditing() override;

    void deleteSelection();
    void cut();
    // Pastes text that is one line beginning and ending with a letter or digit, adding the spaces it needs
    // between words; false, with nothing done, for anything else (the view's own paste takes that).
    bool paste(const QString &text);
    // The clipboard: smartly when it holds such words, else through the view's own paste.
    void pasteClipboard();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isWholeWordSelection(const QTextCursor &cursor) const;

    QPointer<QPlainTextEdit> m_textView;
};
