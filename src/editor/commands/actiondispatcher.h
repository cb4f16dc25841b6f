#pragma once

#include "editor/commands/command.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CommandResponder;
class Error;
class QAction;
class QMenu;
class QWidget;

// Sends a menu command to the first responder along the focus chain that answers it: a helper of the focused widget
// (tools that extend a text view without being one), the widget, then the same for each of its parents, the
// window's own responder (which answers for its note too), and last the application delegate.
class ActionDispatcher : public QObject
{
    Q_OBJECT

public:
    // Who receives a command: the first responder along the focus chain, or a fixed one.
    enum class Target
    {
        Chain,
        Delegate,
        DocumentController
    };

    explicit ActionDispatcher(QObject *parent = nullptr);
    ~ActionDispatcher() override;

    // The application's commands; the delegate outlives the dispatcher's use of it.
    void setDelegate(CommandResponder *delegate);
    // Answers Clear Menu of Open Recent.
    void setDocumentController(CommandResponder *controller);
    // helper is asked just before widget, until either goes; a widget's helpers in the order they were set.
    template<typename Helper> void setHelperResponder(QWidget *widget, Helper *helper)
    {
        addHelper(widget, helper, helper);
    }
    // responder answers for window after everything in it with the focus, and presents failures there, until either
    // goes.
    template<typename Responder> void setWindowResponder(QWidget *window, Responder *responder)
    {
        addWindow(window, responder, responder);
    }
    // Widgets that are no responders themselves (Qt's text fields) answer through what this makes for them; none
    // made: they answer nothing.
    using WidgetResponders = std::function<std::unique_ptr<CommandResponder>(QWidget *widget)>;
    void setWidgetResponders(WidgetResponders make);

    // Whether the responder that answers command can carry it out now; none when nothing answers it.
    std::optional<bool> canPerform(Command command, Target target = Target::Chain) const;
    // The check mark of a command that is switched on and off, as its responder tells it.
    bool isChecked(Command command) const;
    // Carries command out; false when nothing answers it. A failure the responder throws is presented here, never
    // passed on to the event loop.
    bool send(Command command, Target target = Target::Chain, const QVariant &argument = {});

    // Makes item send command when triggered, with the item's data as argument, and keeps its enabled state in step
    // with the focus chain. An item in a window's menus belongs to that window from here on.
    void bind(QAction *item, Command command, Target target = Target::Chain);
    // The command a bound item sends.
    static std::optional<Command> commandOf(const QAction *item);
    // Recomputes the enabled state of every bound item in menu (and its submenus).
    void updateItems(QMenu *menu);
    // Recomputes the items whose shortcuts can fire now: those of the window with the focus and those of no window.
    // The menus of other windows are looked at when they open or their window takes the focus, so that a change of
    // focus costs the same with 300 notes open as with one.
    void updateAllItems();
    // A menu is about to open: its owner may fill it (menuWillOpen), then its items are enabled afresh.
    void menuAboutToShow(QMenu *menu);

    // Shows a failure a responder threw; by default the active window's error box, else a plain message box.
    using FailurePresenter = std::function<void(const Error &)>;
    void setFailurePresenter(FailurePresenter presenter);

Q_SIGNALS:
    void menuWillOpen(QMenu *menu);

private:
    // The responders for target in the order they are asked, with the adapters made for widgets and windows that
    // are no responders themselves.
    struct Chain
    {
        std::vector<std::unique_ptr<CommandResponder>> adapters;
        QList<CommandResponder *> responders;
    };
    struct Helper
    {
        QPointer<QObject> object;
        CommandResponder *responder = nullptr;
    };

    void addHelper(QWidget *widget, QObject *object, CommandResponder *responder);
    void addWindow(QWidget *window, QObject *object, CommandResponder *responder);
    CommandResponder *windowResponder(const QWidget *widget) const;
    Chain chainFor(Target target) const;
    void trigger(QAction *item);
    void updateItem(QAction *item) const;
    void presentFailure(const Error &error) const;
    // The window whose menus hold item (or whose popup widget is), or none.
    static const QWidget *ownerWindow(const QObject *object);

    CommandResponder *m_delegate = nullptr;
    CommandResponder *m_documentController = nullptr;
    QHash<const QWidget *, QList<Helper>> m_helpers;
    QHash<const QWidget *, Helper> m_windows;
    WidgetResponders m_widgetResponders;
    // Bound items by the window they belong to; none for items of no window.
    QHash<const QWidget *, QList<QPointer<QAction>>> m_items;
    FailurePresenter m_failurePresenter;
    QPointer<QWidget> m_beforeMenuBar;
    bool m_updateQueued = false;
};
