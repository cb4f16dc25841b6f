#include "editor/commands/actiondispatcher.h"

#include "editor/commands/commandresponder.h"
#include "framework/error.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QWidget>

#include <exception>

namespace {

constexpr char commandProperty[] = "dispatchedCommand";
constexpr char targetProperty[] = "dispatchedTarget";

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

void ActionDispatcher::setDelegate(CommandResponder *delegate)
{
    m_delegate = delegate;
    updateAllItems();
}

void ActionDispatcher::setDocumentController(CommandResponder *controller)
{
    m_documentController = controller;
    updateAllItems();
}

void ActionDispatcher::addHelper(QWidget *widget, QObject *object, CommandResponder *responder)
{
    if (!m_helpers.contains(widget))
        connect(widget, &QObject::destroyed, this, [this, widget] { m_helpers.remove(widget); });
    m_helpers[widget].append({object, responder});
}

void ActionDispatcher::addWindow(QWidget *window, QObject *object, CommandResponder *responder)
{
    if (!m_windows.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] { m_windows.remove(window); });
    m_windows.insert(window, {object, responder});
}

void ActionDispatcher::setWidgetResponders(WidgetResponders make)
{
    m_widgetResponders = std::move(make);
}

CommandResponder *ActionDispatcher::windowResponder(const QWidget *widget) const
{
    const Helper window = m_windows.value(widget ? widget->window() : nullptr);
    return window.object ? window.responder : nullptr;
}

ActionDispatcher::Chain ActionDispatcher::chainFor(Target target) const
{
    Chain chain;
    switch (target) {
    case Target::Chain:
        break;
    case Target::Delegate:
        if (m_delegate)
            chain.responders.append(m_delegate);
        return chain;
    case Target::DocumentController:
        if (m_documentController)
            chain.responders.append(m_documentController);
        return chain;
    }
    QWidget *start = QApplication::focusWidget();
    if (qobject_cast<QMenuBar *>(start) && m_beforeMenuBar && m_beforeMenuBar->window() == start->window())
        start = m_beforeMenuBar;
    if (!start)
        start = QApplication::activeWindow();
    for (QWidget *widget = start; widget; widget = widget->parentWidget()) {
        for (const Helper &helper : m_helpers.value(widget)) {
            if (helper.object)
                chain.responders.append(helper.responder);
        }
        if (auto *responder = dynamic_cast<CommandResponder *>(widget)) {
            chain.responders.append(responder);
        } else if (std::unique_ptr<CommandResponder> made = m_widgetResponders ? m_widgetResponders(widget) : nullptr) {
            chain.responders.append(made.get());
            chain.adapters.push_back(std::move(made));
        }
    }
    if (CommandResponder *window = windowResponder(start))
        chain.responders.append(window);
    if (m_delegate)
        chain.responders.append(m_delegate);
    return chain;
}

std::optional<bool> ActionDispatcher::canPerform(Command command, Target target) const
{
    const Chain chain = chainFor(target);
    for (const CommandResponder *responder : chain.responders) {
        if (responder->answers(command))
            return responder->canPerform(command);
    }
    return std::nullopt;
}

bool ActionDispatcher::isChecked(Command command) const
{
    const Chain chain = chainFor(Target::Chain);
    for (const CommandResponder *responder : chain.responders) {
        if (responder->answers(command))
            return responder->isChecked(command);
    }
    return false;
}

bool ActionDispatcher::send(Command command, Target target, const QVariant &argument)
{
    const Chain chain = chainFor(target);
    const auto found =
        std::find_if(chain.responders.begin(), chain.responders.end(),
                     [command](const CommandResponder *responder) { return responder->answers(command); });
    if (found == chain.responders.end())
        return false;
    // Menu commands run to completion before the event loop sees anything: a failure is presented here.
    try {
        (*found)->perform(command, argument);
    } catch (const Error &error) {
        presentFailure(error);
    } catch (const std::exception &error) {
        presentFailure(Error(QString::fromUtf16(ErrorDomain::quorbell), 1, QString::fromLocal8Bit(error.what())));
    } catch (...) {
        presentFailure(Error(QString::fromUtf16(ErrorDomain::quorbell), 1, tr("The command could not be completed.")));
    }
    return true;
}

void ActionDispatcher::bind(QAction *item, Command command, Target target)
{
    item->setProperty(commandProperty, static_cast<int>(command));
    item->setProperty(targetProperty, static_cast<int>(target));
    const QWidget *window = ownerWindow(item);
    if (window && !m_items.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] { m_items.remove(window); });
    m_items[window].append(item);
    connect(item, &QAction::triggered, this, [this, item] { trigger(item); });
    updateItem(item);
}

std::optional<Command> ActionDispatcher::commandOf(const QAction *item)
{
    const QVariant command = item->property(commandProperty);
    if (!command.isValid())
        return std::nullopt;
    return static_cast<Command>(command.toInt());
}

void ActionDispatcher::updateItems(QMenu *menu)
{
    const QList<QAction *> actions = menu->actions();
    for (QAction *item : actions) {
        if (QMenu *submenu = item->menu())
            updateItems(submenu);
        else if (commandOf(item))
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

void ActionDispatcher::trigger(QAction *item)
{
    // The state may have changed since the menu opened (a window closed): ask the chain again.
    if (const std::optional<Command> command = commandOf(item))
        send(*command, static_cast<Target>(item->property(targetProperty).toInt()), item->data());
    updateAllItems();
}

void ActionDispatcher::updateItem(QAction *item) const
{
    const std::optional<Command> command = commandOf(item);
    const auto target = static_cast<Target>(item->property(targetProperty).toInt());
    item->setEnabled(command && canPerform(*command, target).value_or(false));
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
    if (CommandResponder *responder = windowResponder(window); responder && responder->presentFailure(error))
        return;
    QMessageBox::warning(window, QString(), error.description());
}
