#pragma once

#include <QObject>

// "Check Spelling While Typing" for the whole app: the app holds one and hands it to every note window, so turned
// off in one note it is off in all of them, in notes opened later and after the next launch.
class SpellingSetting : public QObject
{
    Q_OBJECT

public:
    explicit SpellingSetting(QObject *parent = nullptr);

    bool isCheckingWhileTyping() const { return m_checkingWhileTyping; }
    // Every note window follows, and the choice is stored.
    void setCheckingWhileTyping(bool on);

Q_SIGNALS:
    void checkingWhileTypingChanged(bool on);

private:
    bool m_checkingWhileTyping = true;
};
