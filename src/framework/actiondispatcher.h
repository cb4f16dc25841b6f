#pragma once

#include <QList>
#include <QObject>

class QAction;

// Sends a menu action, named like "newDocument:", to the first object along the focus chain that answers it:
// the focused widget and its parents, the window's controller, its document, the application, the application
// delegate. An action "name:" is answered by a slot name(QObject *sender) or name(); the sender is the QAction,
// which carries its tag in the property "tag". "delete:" is answered by deleteSelection, a C++ keyword otherwise.
class ActionDispatcher : public QObject
{
    Q_OBJECT

public:
    static QByteArray slotNameFor(const QByteArray &action);
    // The focus chain for the active window (or the delegate alone without one).
    QList<QObject *> responderChain() const;
    QObject *responderFor(const QByteArray &action) const;
    bool send(const QByteArray &action, QObject *target, QAction *sender);
};
