#pragma once

#include "editor/commands/actiondispatcher.h"

#include <QObject>

class CommandResponder;
class DocumentController;
class QMenu;
class QWidget;

// The app's menus: the one dispatcher they send through, a menu bar for every note window, and the menus filled
// as they open (Open Recent, the check mark of "Check Spelling While Typing").
class AppMenus : public QObject
{
    Q_OBJECT

public:
    AppMenus(DocumentController &documents, QObject *parent = nullptr);

    ActionDispatcher &dispatcher() { return m_dispatcher; }
    // From launch on, the application's commands go to delegate and every new note window gets its menu bar.
    void install(CommandResponder *delegate);

private:
    void menuWillOpen(QMenu *menu);
    QList<QWidget *> noteWindows() const;

    DocumentController &m_documents;
    ActionDispatcher m_dispatcher;
};
