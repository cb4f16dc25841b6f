#pragma once

#include <QFrame>
#include <QList>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

// One message about a window's document, shown in a strip above its content instead of a box that stops the user:
// a short text and a few buttons. Typing goes on in the window; the buttons never take the focus by themselves and
// none is the default, so only a user who moved the focus into the bar (Tab) answers it with a key.
class MessageBar : public QFrame
{
    Q_OBJECT

public:
    struct Button
    {
        QString text;
        std::function<void()> action;
    };

    explicit MessageBar(QWidget *parent = nullptr);

    // Replaces what the bar shows. A button's action runs after its click has been delivered.
    void setMessage(const QString &text, const QList<Button> &buttons, bool closable);
    QString text() const;
    QList<QPushButton *> buttons() const;

    // Screen readers meet the bar as an alert named by its text.
    static void installAccessibility();

Q_SIGNALS:
    void closeRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void announce();

    QLabel *m_label;
    QWidget *m_buttonRow;
};
