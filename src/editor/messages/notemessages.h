#pragma once

#include "editor/messages/messagebar.h"
#include "framework/noteservices.h"

#include <QList>
#include <QString>

// How the tools of a note tell its user something: in the bar of the note's window, which implements this, one
// message of each kind at a time. The tools never reach for the window itself.
class NoteMessages
{
public:
    // A newer message of a kind replaces the older; it never stops the user typing.
    virtual void showMessage(MessageKind kind, const QString &text, const QList<MessageBar::Button> &buttons = {},
                             bool closable = false) = 0;
    virtual void dismissMessage(MessageKind kind) = 0;

protected:
    ~NoteMessages() = default;
};
