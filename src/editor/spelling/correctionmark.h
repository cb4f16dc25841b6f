#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QPlainTextEdit;

// A short-lived underline under a word the app has just corrected, so that no correction goes unseen. It is one
// of the view's extra selections and leaves the others (found matches) alone.
class CorrectionMark : public QObject
{
    Q_OBJECT

public:
    static constexpr int shownMs = 2500;

    explicit CorrectionMark(QPlainTextEdit *textView, QObject *parent = nullptr);
    ~CorrectionMark() override;

    // Marks the text at position (document positions) for a while, in place of any earlier mark.
    void show(qsizetype position, qsizetype length);
    void hide();

private:
    QPointer<QPlainTextEdit> m_textView;
    QTimer m_timer;
};
