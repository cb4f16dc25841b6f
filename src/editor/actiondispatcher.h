#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class Error;
class QAction;
class QMenu;
class QWidget;

// Sends a menu action, named like "newDocument:", to the first object along the focus chain that answers it:
// the focused widget and its parents, the window's controller, its document, the application, the application
// delegate. An action "name:" is answered by a slot name(QObject *sender) or name(); the sender is the QAction,
// which carries its tag in the property "tag". "delete:" is answered by deleteSelection, a C++ keyword otherwise.
class ActionDispatcher : public QObject
{
    Q_OBJECT

public:
    // Who receives an action: the first responder along the focus chain, or a fixed object.
    enum class Target
    {
        Chain,
        Delegate,
        DocumentController
    };

    explicit ActionDispatcher(QObject *parent = nullptr);
    ~ActionDispatcher() override;

    // The one dispatcher of the app's menus.
    static ActionDispatcher &shared();

    static QByteArray slotNameFor(const QByteArray &action);
    // An object that answers actions on behalf of widget and is asked just before it (tools that extend a text
    // view without being one). One helper per widget; none removes it.
    static void setHelperResponder(QWidget *widget, QObject *helper);
    // The index of the method of object that answers action, or -1.
    static int methodIndexFor(const QObject *object, const QByteArray &action);

    void setDelegate(QObject *delegate);
    QObject *delegate() const;
    void setDocumentController(QObject *controller);
    QObject *documentController() const;

    // The focus chain for the active window (or the application and the delegate alone without one).
    QList<QObject *> responderChain() const;
    QObject *responderFor(const QByteArray &action) const;
    QObject *responderFor(const QByteArray &action, Target target) const;
    // Delivers action to target (or along the chain without one). False when nothing answers it. A failure the
    // responder throws is presented here, never passed on to the event loop.
    bool send(const QByteArray &action, QObject *target, QAction *sender);

    // Makes item send action when triggered and keeps its enabled state in step with the focus chain. An item in a
    // window's menus belongs to that window from here on.
    void bind(QAction *item, const QByteArray &action, Target target = Target::Chain);
    // Recomputes the enabled state of every bound item in menu (and its submenus).
    void updateItems(QMenu *menu);
    // Recomputes the items whose shortcuts can fire now: those of the window with the focus and those of no window.
    // The menus of other windows are looked at when they open or their window takes the focus, so that a change of
    // focus costs the same with 300 notes open as with one.
    void updateAllItems();
    // A menu is about to open: its owner may fill it (menuWillOpen), then its items are enabled afresh.
    void menuAboutToShow(QMenu *menu);

Q_SIGNALS:
    void menuWillOpen(QMenu *menu);

public:
    static QByteArray actionOf(const QAction *item);

    // The responders a window adds after its widgets; by default its controller, then the controller's document.
    using WindowResponders = std::function<QList<QObject *>(QWidget *window)>;
    void setWindowResponders(WindowResponders responders);

    // Whether responder can carry out item's action now (a selection to cut, text to paste); without a validator
    // every responder can. Asked whenever the items are enabled afresh, so shortcuts follow the same rule.
    using ItemValidator = std::function<bool(const QAction *item, QObject *responder)>;
    void setItemValidator(ItemValidator validator);

    // Shows a failure a responder threw; by default the active window's error box, else a plain message box.
    using FailurePresenter = std::function<void(const Error &)>;
    void setFailurePresenter(FailurePresenter presenter);

private:
    void trigger(QAction *item);
    void updateItem(QAction *item) const;
    void presentFailure(const Error &error) const;
    // The window whose menus hold item (or whose popup widget is), or none.
    static const QWidget *ownerWindow(const QObject *object);

    QPointer<QObject> m_delegate;
    QPointer<QObject> m_documentController;
    // Bound items by the window they belong to; none for items of no window.
    QHash<const QWidget *, QList<QPointer<QAction>>> m_items;
    FailurePresenter m_failurePresenter;
    WindowResponders m_windowResponders;
    ItemValidator m_itemValidator;
    QPointer<QWidget> m_beforeMenuBar;
    bool m_updateQueued = false;
};
