#include "editor/view/notetextview.h"
#include "editor/window/editor.h"
#include "shell/documentcontroller.h"
#include "shell/appcommands.h"
#include "shell/appdelegate.h"
#include "shell/quitting.h"
#include "shell/menutable.h"

#include <QTest>

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

} // namespace

class TestMenuTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each item's command is answered by a responder on the chain of a note window: one left out of every table
    // would stay disabled.
    void everyCommandHasAResponder()
    {
        Editor window{QUrl(), QString()};
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
};

QTEST_MAIN(TestMenuTable)
#include "tst_menutable.moc"
