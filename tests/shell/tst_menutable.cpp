#include "editor/commands/actiondispatcher.h"
#include "framework/error.h"
#include "editor/window/editor.h"
#include "shell/documentcontroller.h"
#include "shell/appcommands.h"
#include "shell/appdelegate.h"
#include "shell/quitting.h"
#include "shell/menutable.h"

#include <QAction>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Nothing on Linux hides other applications: the row is kept for platforms that do, and not shown here.
constexpr Command unanswered = Command::HideOthers;

// Every menu of the table, submenus after the top level, in order.
QList<const MenuTable::Menu *> allMenus()
{
    QList<const MenuTable::Menu *> menus;
    for (const MenuTable::Menu &menu : MenuTable::mainMenu())
        menus.append(&menu);
    for (qsizetype i = 0; i < menus.size(); ++i)
        for (const MenuTable::Item &item : menus.at(i)->items)
            if (item.submenu)
                menus.append(item.submenu);
    return menus;
}

// Fails every command, as one on a note that is gone does.
class Failing : public CommandResponder
{
public:
    bool answers(Command) const override { return true; }
    void perform(Command, const QVariant &) override { throw Error(u"Quorbell"_s, 1, u"The note “a.txt” is gone."_s); }
};

} // namespace

class TestMenuTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each item's command is answered by a responder on the chain of a note window: one left out of every table
    // would stay disabled.
    void everyCommandHasAResponder()
    {
        Editor window;
        AppDelegate app;
        Quitting quitting(app.documents());
        AppCommands commands(app, quitting);
        QList<const CommandResponder *> responders{&window, &app.documents(), &commands};
        for (const QObject *tool : window.findChildren<QObject *>())
            if (const auto *responder = dynamic_cast<const CommandResponder *>(tool))
                responders.append(responder);
        for (const MenuTable::Menu *menu : allMenus()) {
            for (const MenuTable::Item &item : menu->items) {
                if (item.kind != MenuTable::Kind::Item || item.command == unanswered)
                    continue;
                QVERIFY2(
                    std::any_of(responders.begin(), responders.end(),
                                [&](const CommandResponder *responder) { return responder->answers(item.command); }),
                    qPrintable(MenuTable::title(item)));
            }
        }
    }

    // A failing command is told to the user, never let through the event loop, where it would end the app.
    void failureIsPresentedNotLetThrough()
    {
        ActionDispatcher dispatcher;
        Failing delegate;
        dispatcher.setDelegate(&delegate);
        QStringList presented;
        dispatcher.setFailurePresenter([&presented](const Error &error) { presented.append(error.description()); });
        QAction item;
        dispatcher.bind(&item, Command::Quit, ActionDispatcher::Target::Chain);
        item.trigger();
        QCOMPARE(presented, QStringList{u"The note “a.txt” is gone."_s});
    }
};

QTEST_MAIN(TestMenuTable)
#include "tst_menutable.moc"
