#include "editor/actiondispatcher.h"
#include "editor/editor.h"
#include "editor/findbar.h"
#include "editor/notetextview.h"
#include "editor/texttools.h"
#include "shell/documentcontroller.h"
#include "shell/appcommands.h"
#include "shell/appdelegate.h"
#include "shell/quitting.h"
#include "shell/menubar.h"
#include "shell/menutable.h"
#include "editor/windowcontroller.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

namespace {

// Nothing on Linux hides other applications: the row is kept for platforms that do, and not shown here.
constexpr Command unanswered = Command::HideOthers;

// Answers nothing and counts how often it is asked: every item that reaches the end of the chain asks it once.
class CountingDelegate : public CommandResponder
{
public:
    mutable int asked = 0;
    bool answers(Command) const override
    {
        ++asked;
        return false;
    }
    void perform(Command, const QVariant &) override {}
};

// Every menu of the table, submenus after the top level, in order.
QList<const MenuTable::Menu *> allMenus()
{
    QList<const MenuTable::Menu *> menus;
    for (const MenuTable::Menu &menu : MenuTable::mainMenu())
        menus.append(&menu);
    for (qsizetype i = 0; i < menus.size(); ++i) {
        for (const MenuTable::Item &item : menus.at(i)->items) {
            if (item.submenu)
                menus.append(item.submenu);
        }
    }
    return menus;
}

// The bound item of bar that sends command.
QAction *itemFor(const MenuBar *bar, Command command)
{
    const QList<QAction *> items = bar->findChildren<QAction *>();
    const auto found = std::find_if(items.begin(), items.end(),
                                    [&](const QAction *item) { return ActionDispatcher::commandOf(item) == command; });
    return found == items.end() ? nullptr : *found;
}

} // namespace

class TestMenuTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each item's command is answered by a responder on the chain of a note window: one left out of every switch
    // would stay disabled.
    void everyCommandHasAResponder()
    {
        QWidget editor;
        auto *view = new NoteTextView(&editor);
        TextTools tools(view, new FindBar(view, &editor));
        Editor window{QUrl(), QString()};
        AppDelegate app;
        Quitting quitting(app.documents());
        AppCommands commands(app, quitting);
        const QList<const CommandResponder *> responders{view, &tools, &window, &app.documents(), &commands};
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

    // Opened again, the Window menu still lists each note window once, and no other window; choosing one brings it
    // forward. The list's order and mark are the menu journey's.
    void windowMenuListsEachNoteWindowOnce()
    {
        ActionDispatcher dispatcher;
        MenuBar bar(dispatcher);
        auto *first = new QWidget;
        auto *second = new QWidget;
        QWidget other; // not a document window: not listed
        first->setWindowTitle(QStringLiteral("20261014 Note.txt[*]"));
        const WindowController firstController(first);
        const WindowController secondController(second);
        for (QWidget *window : {first, second, &other})
            window->show();
        second->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), second);
        QMenu *menu = bar.menu(MenuTable::Role::Windows);
        const qsizetype fixed = menu->actions().size();
        Q_EMIT menu->aboutToShow();
        Q_EMIT menu->aboutToShow();
        QCOMPARE(menu->actions().size(), fixed + 3); // a separator and the two notes
        for (QAction *item : menu->actions()) {
            if (item->text() == u"20261014 Note.txt")
                item->trigger();
        }
        QTRY_COMPARE(QApplication::activeWindow(), first);
    }

    // A change of focus looks at the menus of the window that takes it, not at every window's: with many notes
    // open it costs what it costs with one, and the items of that window are right at once.
    void focusChangeLooksAtTheFocusedWindowOnly()
    {
        constexpr int windowCount = 150;
        ActionDispatcher dispatcher;
        std::vector<std::unique_ptr<QWidget>> windows;
        QList<MenuBar *> bars;
        QList<QLineEdit *> fields;
        for (int i = 0; i < windowCount; ++i) {
            windows.push_back(std::make_unique<QWidget>());
            bars.append(new MenuBar(dispatcher, windows.back().get()));
            fields.append(new QLineEdit(QStringLiteral("some text"), windows.back().get()));
            windows.back()->show();
        }
        CountingDelegate delegate;
        dispatcher.setDelegate(&delegate);
        fields.constFirst()->selectAll();
        QCoreApplication::processEvents(); // what opening the windows left to do
        for (const int i : {0, windowCount - 1, 0}) {
            // What one look at the items of a window and of no window costs.
            delegate.asked = 0;
            dispatcher.updateAllItems();
            const int onePass = delegate.asked;
            delegate.asked = 0;
            windows.at(i)->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(windows.at(i).get()));
            fields.at(i)->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), fields.at(i));
            QTRY_COMPARE(itemFor(bars.at(i), Command::Copy)->isEnabled(), fields.at(i)->hasSelectedText());
            // A few looks at one window's items (the focus leaves one widget and enters the next), never more.
            QVERIFY2(delegate.asked <= 4 * onePass,
                     qPrintable(QStringLiteral("%1 questions, %2 in one look").arg(delegate.asked).arg(onePass)));
        }
    }
};

QTEST_MAIN(TestMenuTable)
#include "tst_menutable.moc"
