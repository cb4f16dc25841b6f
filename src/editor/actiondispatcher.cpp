#include "actiondispatcher.h"

#include "framework/document.h"
#include "framework/error.h"
#include "editor/windowcontroller.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaMethod>
#include <QWidget>

#include <exception>

namespace {

constexpr char actionProperty[] = "dispatchedAction";
constexpr char targetProperty[] = "dispatchedTarget";
constexpr char helperProperty[] = "dispatchHelperResponder";

// Actions whose plain slot name would collide with a C++ keyword or with a slot every widget has (QWidget::hide
// would hide the focused text view instead of the app).
struct Renamed
{
    const char *action;
    const char *slot;
};
constexpr Renamed renamedActions[] = {
    {"delete:", "deleteSelection"},
    {"hide:", "hideApplication"},
};

} // namespace

ActionDispatcher::ActionDispatcher(QObject *parent)
    : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        // The focus passes through nothing while a menu pops up: look again once it has settled.
        if (!now) {
            // Once, however many windows opened or closed meanwhile.
            if (!std::exchange(m_updateQueued, true)) {
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        m_updateQueued = false;
                        updateAllItems();
                    },
                    Qt::QueuedConnection);
            }
            return;
        }
        // Keyboard navigation of the menu bar (F10, Alt+letter) takes the focus; the commands are still meant for
        // the widget that had it.
        if (!qobject_cast<QMenuBar *>(now))
            m_beforeMenuBar = now;
        updateAllItems();
    });
}

ActionDispatcher::~ActionDispatcher() = default;

ActionDispatcher &ActionDispatcher::shared()
{
    static ActionDispatcher *dispatcher = new ActionDispatcher(qApp);
    return *dispatcher;
}

QByteArray ActionDispatcher::slotNameFor(const QByteArray &action)
{
    for (const Renamed &renamed : renamedActions) {
        if (action == renamed.action)
            return renamed.slot;
    }
    return action.endsWith(':') ? action.chopped(1) : action;
}

int ActionDispatcher::methodIndexFor(const QObject *object, const QByteArray &action)
{
    if (!object)
        return -1;
    const QMetaObject *meta = object->metaObject();
    const QByteArray name = slotNameFor(action);
    const int withSender = meta->indexOfMethod(name + "(QObject*)");
    if (withSender >= 0)
        return withSender;
    return meta->indexOfMethod(name + "()");
}

void ActionDispatcher::setDelegate(QObject *delegate)
{
    m_delegate = delegate;
    updateAllItems();
}

QObject *ActionDispatcher::delegate() const
{
    return m_delegate;
}

void ActionDispatcher::setDocumentController(QObject *controller)
{
    m_documentController = controller;
    updateAllItems();
}

QObject *ActionDispatcher::documentController() const
{
    return m_documentController;
}

void ActionDispatcher::setHelperResponder(QWidget *widget, QObject *helper)
{
    widget->setProperty(helperProperty, QVariant::fromValue(helper));
    if (helper) {
        // A helper that goes away must not be asked again.
        connect(helper, &QObject::destroyed, widget, [widget] { widget->setProperty(helperProperty, QVariant()); });
    }
}

QList<QObject *> ActionDispatcher::responderChain() const
{
    QList<QObject *> chain;
    QWidget *start = QApplication::focusWidget();
    if (qobject_cast<QMenuBar *>(start) && m_beforeMenuBar && m_beforeMenuBar->window() == start->window())
        start = m_beforeMenuBar;
    if (!start)
        start = QApplication::activeWindow();
    for (QWidget *widget = start; widget; widget = widget->parentWidget()) {
        if (QObject *helper = widget->property(helperProperty).value<QObject *>())
            chain.append(helper);
        chain.append(widget);
    }
    if (start) {
        if (m_windowResponders) {
            chain.append(m_windowResponders(start->window()));
        } else if (WindowController *controller = WindowController::forWindow(start)) {
            chain.append(controller);
            if (Document *document = controller->document())
                chain.append(document);
        }
    }
    chain.append(qApp);
    if (m_delegate)
        chain.append(m_delegate.data());
    return chain;
}

QObject *ActionDispatcher::responderFor(const QByteArray &action) const
{
    const QList<QObject *> chain = responderChain();
    for (QObject *responder : chain) {
        if (methodIndexFor(responder, action) >= 0)
            return responder;
    }
    return nullptr;
}

QObject *ActionDispatcher::responderFor(const QByteArray &action, Target target) const
{
    QObject *fixed = nullptr;
    switch (target) {
    case Target::Chain:
        return responderFor(action);
    case Target::Delegate:
        fixed = m_delegate;
        break;
    case Target::DocumentController:
        fixed = m_documentController;
        break;
    }
    return methodIndexFor(fixed, action) >= 0 ? fixed : nullptr;
}

bool ActionDispatcher::send(const QByteArray &action, QObject *target, QAction *sender)
{
    QObject *responder = target ? target : responderFor(action);
    const int index = methodIndexFor(responder, action);
    if (index < 0)
        return false;
    const QMetaMethod method = responder->metaObject()->method(index);
    // Menu actions run to completion before the event loop sees anything: a failure is presented here.
    try {
        if (method.parameterCount() == 1)
            method.invoke(responder, Qt::DirectConnection, Q_ARG(QObject *, sender));
        else
            method.invoke(responder, Qt::DirectConnection);
    } catch (const Error &error) {
        presentFailure(error);
    } catch (const std::exception &error) {
        presentFailure(Error(QString::fromUtf16(ErrorDomain::quorbell), 1, QString::fromLocal8Bit(error.what())));
    } catch (...) {
        presentFailure(Error(QString::fromUtf16(ErrorDomain::quorbell), 1, tr("The command could not be completed.")));
    }
    return true;
}

void ActionDispatcher::bind(QAction *item, const QByteArray &action, Target target)
{
    item->setProperty(actionProperty, action);
    item->setProperty(targetProperty, static_cast<int>(target));
    const QWidget *window = ownerWindow(item);
    if (window && !m_items.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] { m_items.remove(window); });
    m_items[window].append(item);
    connect(item, &QAction::triggered, this, [this, item] { trigger(item); });
    updateItem(item);
}

void ActionDispatcher::updateItems(QMenu *menu)
{
    const QList<QAction *> actions = menu->actions();
    for (QAction *item : actions) {
        if (QMenu *submenu = item->menu())
            updateItems(submenu);
        else if (!actionOf(item).isEmpty())
            updateItem(item);
    }
}

void ActionDispatcher::updateAllItems()
{
    const auto updateItemsOf = [this](const QWidget *window) {
        const auto found = m_items.find(window);
        if (found == m_items.end())
            return;
        found->removeAll(nullptr);
        for (const QPointer<QAction> &item : std::as_const(*found))
            updateItem(item);
    };
    updateItemsOf(nullptr);
    QWidget *focus = QApplication::focusWidget();
    if (const QWidget *window = ownerWindow(focus ? focus : QApplication::activeWindow()))
        updateItemsOf(window);
}

const QWidget *ActionDispatcher::ownerWindow(const QObject *object)
{
    const auto *widget = qobject_cast<const QWidget *>(object);
    if (!widget && object)
        widget = qobject_cast<const QWidget *>(object->parent());
    // A menu pops up as a window of its own; it belongs to the window of the bar or menu it opens from.
    while (qobject_cast<const QMenu *>(widget))
        widget = widget->parentWidget();
    return widget ? widget->window() : nullptr;
}

void ActionDispatcher::menuAboutToShow(QMenu *menu)
{
    Q_EMIT menuWillOpen(menu);
    updateItems(menu);
}

QByteArray ActionDispatcher::actionOf(const QAction *item)
{
    return item->property(actionProperty).toByteArray();
}

void ActionDispatcher::trigger(QAction *item)
{
    // The state may have changed since the menu opened (a window closed): ask the chain again.
    const QByteArray action = actionOf(item);
    const auto target = static_cast<Target>(item->property(targetProperty).toInt());
    QObject *responder = responderFor(action, target);
    if (responder)
        send(action, responder, item);
    updateAllItems();
}

void ActionDispatcher::updateItem(QAction *item) const
{
    const auto target = static_cast<Target>(item->property(targetProperty).toInt());
    QObject *responder = responderFor(actionOf(item), target);
    item->setEnabled(responder && (!m_itemValidator || m_itemValidator(item, responder)));
}

void ActionDispatcher::setItemValidator(ItemValidator validator)
{
    m_itemValidator = std::move(validator);
    updateAllItems();
}

void ActionDispatcher::setWindowResponders(WindowResponders responders)
{
    m_windowResponders = std::move(responders);
    updateAllItems();
}

void ActionDispatcher::setFailurePresenter(FailurePresenter presenter)
{
    m_failurePresenter = std::move(presenter);
}

void ActionDispatcher::presentFailure(const Error &error) const
{
    if (m_failurePresenter) {
        m_failurePresenter(error);
        return;
    }
    QWidget *window = QApplication::activeWindow();
    if (WindowController *controller = WindowController::forWindow(window)) {
        controller->presentError(error);
        return;
    }
    QMessageBox::warning(window, QString(), error.description());
}
