#include "framework/actiondispatcher.h"
#include "framework/document.h"
#include "editor/notetextview.h"
#include "editor/texttools.h"
#include "framework/documentcontroller.h"
#include "shell/appdelegate.h"
#include "framework/windowcontroller.h"
#include "shell/menubar.h"
#include "shell/menutable.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

namespace {

using Target = ActionDispatcher::Target;

// One row of the menu bar as the user must find it: "-" titles are separators, ">" titles hold a submenu.
struct Row
{
    const char *menu;
    const char *title;
    const char *action;
    const char *shortcut;
    quint32 modifiers;
    int tag;
    Target target;
};

constexpr quint32 cmd = 0x100000;
constexpr quint32 cmdOpt = 0x180000;
constexpr quint32 cmdOptShift = 0x1A0000;
constexpr Target chain = Target::Chain;

const Row expectedRows[] = {
    {"Nolt Nolt", "About Nolt Nolt", "orderFrontStandardAboutPanel:", "", 0, 0, chain},
    {"Nolt Nolt", ">Services", "", "", 0, 0, chain},
    {"Nolt Nolt", "Check for Updates\u2026", "checkForUpdates:", "", 0, 0, Target::Delegate},
    {"Nolt Nolt", "Hide Others", "hideOtherApplications:", "Ctrl+Alt+H", cmdOpt, 0, chain},
    {"Nolt Nolt", "Hide Nolt Nolt", "hide:", "Ctrl+H", cmd, 0, chain},
    {"Nolt Nolt", "Show All", "unhideAllApplications:", "", 0, 0, chain},
    {"Nolt Nolt", "Quit Nolt Nolt", "terminate:", "Ctrl+Q", cmd, 0, chain},
    {"File", "New", "newDocument:", "Ctrl+N", cmd, 0, chain},
    {"File", "Open\u2026", "openDocument:", "Ctrl+O", cmd, 0, chain},
    {"File", ">Open Recent", "", "", 0, 0, chain},
    {"File", "Save", "saveDocument:", "Ctrl+S", cmd, 0, chain},
    {"File", "Rename\u2026", "renameDocument:", "", 0, 0, chain},
    {"File", "Move To\u2026", "moveDocument:", "", 0, 0, chain},
    {"File", "Show in File Manager", "revealDocument:", "", 0, 0, chain},
    {"File", "Close", "performClose:", "Ctrl+W", cmd, 0, chain},
    {"Edit", "Undo", "undo:", "Ctrl+Z", cmd, 0, chain},
    {"Edit", "Redo", "redo:", "Ctrl+Shift+Z", cmd, 0, chain},
    {"Edit", "-", "", "", 0, 0, chain},
    {"Edit", "Cut", "cut:", "Ctrl+X", cmd, 0, chain},
    {"Edit", "Copy", "copy:", "Ctrl+C", cmd, 0, chain},
    {"Edit", "Paste", "paste:", "Ctrl+V", cmd, 0, chain},
    {"Edit", "Paste and Match Style", "pasteAsPlainText:", "Ctrl+Alt+Shift+V", cmdOptShift, 0, chain},
    {"Edit", "Delete", "delete:", "", 0, 0, chain},
    {"Edit", "Select All", "selectAll:", "Ctrl+A", cmd, 0, chain},
    {"Edit", "-", "", "", 0, 0, chain},
    {"Edit", ">Find", "", "", 0, 0, chain},
    {"Edit", ">Spelling and Grammar", "", "", 0, 0, chain},
    {"Edit", ">Transformations", "", "", 0, 0, chain},
    {"Find", "Find\u2026", "performFindPanelAction:", "Ctrl+F", cmd, 1, chain},
    {"Find", "Find and Replace\u2026", "performFindPanelAction:", "Ctrl+Alt+F", cmdOpt, 12, chain},
    {"Find", "Find Next", "performFindPanelAction:", "Ctrl+G", cmd, 2, chain},
    {"Find", "Find Previous", "performFindPanelAction:", "Ctrl+Shift+G", cmd, 3, chain},
    {"Find", "Use Selection for Find", "performFindPanelAction:", "Ctrl+E", cmd, 7, chain},
    {"Find", "Jump to Selection", "centerSelectionInVisibleArea:", "Ctrl+J", cmd, 0, chain},
    {"Spelling and Grammar", "Show Spelling and Grammar", "showGuessPanel:", "Ctrl+:", cmd, 0, chain},
    {"Spelling and Grammar", "Check Document Now", "checkSpelling:", "Ctrl+;", cmd, 0, chain},
    {"Spelling and Grammar", "Check Spelling While Typing", "toggleContinuousSpellChecking:", "", 0, 0, chain},
    {"Transformations", "Make Upper Case", "uppercaseWord:", "", 0, 0, chain},
    {"Transformations", "Make Lower Case", "lowercaseWord:", "", 0, 0, chain},
    {"Transformations", "Capitalize", "capitalizeWord:", "", 0, 0, chain},
    {"Window", "Minimize", "performMiniaturize:", "Ctrl+M", cmd, 0, chain},
    {"Window", "Zoom", "performZoom:", "", 0, 0, chain},
    {"Window", "Bring All to Front", "arrangeInFront:", "", 0, 0, chain},
    {"Help", "Nolt Nolt Help", "showHelp:", "Ctrl+?", cmd, 0, chain},
    {"Help", "Download Latest Version\u2026", "openWebsite:", "", 0, 0, chain},
};

// Who answers each action. Classes not merged into this branch yet are switched on in responderClass() below;
// the "TextTools" is whichever object answers the find bar, spelling and case items.
struct Responder
{
    const char *action;
    const char *className;
};
const Responder responders[] = {
    {"orderFrontStandardAboutPanel:", "AppDelegate"},
    {"checkForUpdates:", "AppDelegate"},
    {"hide:", "AppDelegate"},
    {"unhideAllApplications:", "AppDelegate"},
    {"terminate:", "AppDelegate"},
    {"newDocument:", "AppDelegate"},
    {"openDocument:", "AppDelegate"},
    {"revealDocument:", "AppDelegate"},
    {"arrangeInFront:", "AppDelegate"},
    {"showHelp:", "AppDelegate"},
    {"openWebsite:", "AppDelegate"},
    {"chooseNotesFolder:", "AppDelegate"},
    {"showPrivacy:", "AppDelegate"},
    {"openRecent:", "AppDelegate"},
    {"clearRecentDocuments:", "DocumentController"},
    {"saveDocument:", "Document"},
    {"renameDocument:", "Document"},
    {"moveDocument:", "Document"},
    {"performClose:", "WindowController"},
    {"performMiniaturize:", "WindowController"},
    {"performZoom:", "WindowController"},
    {"undo:", "NoteTextView"},
    {"redo:", "NoteTextView"},
    {"cut:", "NoteTextView"},
    {"copy:", "NoteTextView"},
    {"paste:", "NoteTextView"},
    {"pasteAsPlainText:", "NoteTextView"},
    {"delete:", "NoteTextView"},
    {"selectAll:", "NoteTextView"},
    {"performFindPanelAction:", "TextTools"},
    {"centerSelectionInVisibleArea:", "TextTools"},
    {"showGuessPanel:", "TextTools"},
    {"checkSpelling:", "TextTools"},
    {"toggleContinuousSpellChecking:", "TextTools"},
    {"uppercaseWord:", "TextTools"},
    {"lowercaseWord:", "TextTools"},
    {"capitalizeWord:", "TextTools"},
};

// Nothing on Linux hides other applications: the item stays, disabled.
constexpr char unanswered[] = "hideOtherApplications:";

const QMetaObject *responderClass(const QByteArray &className)
{
    if (className == "WindowController")
        return &WindowController::staticMetaObject;
    if (className == "Document")
        return &Document::staticMetaObject;
    if (className == "NoteTextView")
        return &NoteTextView::staticMetaObject;
    if (className == "TextTools")
        return &TextTools::staticMetaObject;
    if (className == "AppDelegate")
        return &AppDelegate::staticMetaObject;
    if (className == "DocumentController")
        return &DocumentController::staticMetaObject;
    return nullptr;
}

QList<QByteArray> tableActions()
{
    QList<QByteArray> actions;
    QList<const MenuTable::Menu *> pending;
    for (const MenuTable::Menu &menu : MenuTable::mainMenu())
        pending.append(&menu);
    while (!pending.isEmpty()) {
        const MenuTable::Menu *menu = pending.takeFirst();
        for (const MenuTable::Item &item : menu->items) {
            if (item.submenu)
                pending.append(item.submenu);
            if (*item.action && !actions.contains(item.action))
                actions.append(item.action);
        }
    }
    return actions;
}

const QStringList menusInOrder{"Nolt Nolt", "File", "Edit", "Window", "Help"};

// The rows of one menu of the table, with submenus by title, in order.
QList<const MenuTable::Item *> tableRows(const QString &menuTitle)
{
    QList<const MenuTable::Menu *> pending;
    for (const MenuTable::Menu &menu : MenuTable::mainMenu())
        pending.append(&menu);
    while (!pending.isEmpty()) {
        const MenuTable::Menu *menu = pending.takeFirst();
        QList<const MenuTable::Item *> rows;
        for (const MenuTable::Item &item : menu->items) {
            rows.append(&item);
            if (item.submenu)
                pending.append(item.submenu);
        }
        if (QString::fromUtf8(menu->title) == menuTitle)
            return rows;
    }
    return {};
}

int indexInMenu(int rowIndex)
{
    int index = 0;
    for (int i = 0; i < rowIndex; ++i) {
        if (qstrcmp(expectedRows[i].menu, expectedRows[rowIndex].menu) == 0)
            ++index;
    }
    return index;
}

QString rowTitle(const Row &row)
{
    const QString title = QString::fromUtf8(row.title);
    return title.startsWith(u'>') ? title.mid(1) : title;
}

} // namespace

class TestMenuTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void topLevelOrder()
    {
        QStringList titles;
        for (const MenuTable::Menu &menu : MenuTable::mainMenu())
            titles.append(QString::fromUtf8(menu.title));
        QCOMPARE(titles, menusInOrder);

        ActionDispatcher dispatcher;
        MenuBar bar(dispatcher);
        QStringList built;
        const QList<QAction *> actions = bar.actions();
        for (QAction *action : actions)
            built.append(action->text());
        QCOMPARE(built, menusInOrder);
    }

    void rows_data()
    {
        QTest::addColumn<int>("rowIndex");
        for (int i = 0; i < int(std::size(expectedRows)); ++i) {
            const Row &row = expectedRows[i];
            QTest::addRow("%s %d: %s", row.menu, indexInMenu(i) + 1, row.title) << i;
        }
    }
    void rows()
    {
        QFETCH(int, rowIndex);
        const Row &expected = expectedRows[rowIndex];
        const int index = indexInMenu(rowIndex);
        const QString menuTitle = QString::fromUtf8(expected.menu);
        const QString title = rowTitle(expected);

        // The table itself.
        const QList<const MenuTable::Item *> rows = tableRows(menuTitle);
        QVERIFY2(index < rows.size(), "row missing from the table");
        const MenuTable::Item &item = *rows.at(index);
        if (title == u"-") {
            QCOMPARE(item.kind, MenuTable::Kind::Separator);
        } else {
            QCOMPARE(MenuTable::title(item), title);
            QCOMPARE(item.kind, expected.title[0] == '>' ? MenuTable::Kind::Submenu : MenuTable::Kind::Item);
            QCOMPARE(QByteArray(item.action), QByteArray(expected.action));
            QCOMPARE(item.modifiers, expected.modifiers);
            QCOMPARE(item.tag, expected.tag);
            QCOMPARE(item.target, expected.target);
            QCOMPARE(MenuTable::shortcut(item), QKeySequence(QString::fromUtf8(expected.shortcut)));
        }

        // The menu bar built from it.
        ActionDispatcher dispatcher;
        MenuBar bar(dispatcher);
        QMenu *menu = bar.findMenu(menuTitle);
        QVERIFY(menu);
        const QList<QAction *> actions = menu->actions();
        QVERIFY(index < actions.size());
        QAction *action = actions.at(index);
        if (title == u"-") {
            QVERIFY(action->isSeparator());
            return;
        }
        QCOMPARE(action->text(), title);
        QCOMPARE(action->menu() != nullptr, expected.title[0] == '>');
        QCOMPARE(ActionDispatcher::actionOf(action), QByteArray(expected.action));
        QCOMPARE(action->shortcut(), QKeySequence(QString::fromUtf8(expected.shortcut)));
        if (!action->menu())
            QCOMPARE(action->property("tag").toInt(), expected.tag);
    }

    void menuSizes_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("separators");
        QTest::newRow("application menu: no separators") << "Nolt Nolt" << 7 << 0;
        QTest::newRow("File: eight items") << "File" << 8 << 0;
        QTest::newRow("Edit: exactly two separators") << "Edit" << 13 << 2;
        QTest::newRow("Find: six items") << "Find" << 6 << 0;
        QTest::newRow("Services: empty") << "Services" << 0 << 0;
        QTest::newRow("Open Recent: empty until opened") << "Open Recent" << 0 << 0;
        QTest::newRow("Window: three items before the list") << "Window" << 3 << 0;
        QTest::newRow("Help: two items") << "Help" << 2 << 0;
    }
    void menuSizes()
    {
        QFETCH(QString, menu);
        QFETCH(int, items);
        QFETCH(int, separators);
        ActionDispatcher dispatcher;
        MenuBar bar(dispatcher);
        QMenu *built = bar.findMenu(menu);
        QVERIFY(built);
        const QList<QAction *> actions = built->actions();
        QCOMPARE(actions.size(), items);
        QCOMPARE(std::count_if(actions.begin(), actions.end(), [](QAction *a) { return a->isSeparator(); }),
                 separators);
    }

    void everyActionHasAResponder()
    {
        const QList<QByteArray> actions = tableActions();
        for (const QByteArray &action : actions) {
            const bool listed = std::any_of(std::begin(responders), std::end(responders),
                                            [&action](const Responder &r) { return action == r.action; });
            QVERIFY2(listed || action == unanswered, action.constData());
        }
    }

    void responderAnswers_data()
    {
        QTest::addColumn<QByteArray>("action");
        QTest::addColumn<QByteArray>("className");
        for (const Responder &responder : responders)
            QTest::addRow("%s by %s", responder.action, responder.className)
                << QByteArray(responder.action) << QByteArray(responder.className);
    }
    void responderAnswers()
    {
        QFETCH(QByteArray, action);
        QFETCH(QByteArray, className);
        const QMetaObject *meta = responderClass(className);
        if (!meta)
            QSKIP("responder class not in this build yet");
        const QByteArray slot = ActionDispatcher::slotNameFor(action);
        QVERIFY2(meta->indexOfMethod(slot + "(QObject*)") >= 0 || meta->indexOfMethod(slot + "()") >= 0,
                 slot.constData());
    }

    void windowMenuListsWindowsAndMarksTheActiveOne()
    {
        ActionDispatcher dispatcher;
        MenuBar bar(dispatcher);
        auto *first = new QWidget;
        first->setWindowTitle(QStringLiteral("20261014 Note.txt[*]"));
        auto *second = new QWidget;
        second->setWindowTitle(QStringLiteral("20261014 Note 2.txt[*]"));
        // Only document windows are listed, not other windows of the app.
        QWidget other;
        other.setWindowTitle(QStringLiteral("Software Update"));
        const WindowController firstController(first);
        const WindowController secondController(second);
        first->show();
        second->show();
        other.show();
        second->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), second);
        QMenu *menu = bar.findMenu(QStringLiteral("Window"));
        // Opening twice must not list a window twice.
        Q_EMIT menu->aboutToShow();
        Q_EMIT menu->aboutToShow();
        QStringList listed;
        QStringList checked;
        const QList<QAction *> actions = menu->actions();
        for (QAction *action : actions.mid(4)) {
            listed.append(action->text());
            if (action->isChecked())
                checked.append(action->text());
        }
        QCOMPARE(actions.at(3)->isSeparator(), true);
        listed.sort();
        QCOMPARE(listed, (QStringList{"20261014 Note 2.txt", "20261014 Note.txt"}));
        QCOMPARE(checked, QStringList{"20261014 Note 2.txt"});
        // Choosing an item brings its window forward.
        const auto target =
            std::find_if(actions.begin(), actions.end(), [](QAction *a) { return a->text() == u"20261014 Note.txt"; });
        (*target)->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), first);
    }

    void revealTitleIsTheConstant() { QCOMPARE(MenuTable::revealTitle(), QStringLiteral("Show in File Manager")); }

    void servicesAndHideOthersStayDisabled()
    {
        ActionDispatcher dispatcher;
        QObject delegate;
        dispatcher.setDelegate(&delegate);
        MenuBar bar(dispatcher);
        QMenu *application = bar.findMenu(QStringLiteral("Nolt Nolt"));
        dispatcher.menuAboutToShow(application);
        const QList<QAction *> actions = application->actions();
        QVERIFY(!actions.at(1)->isEnabled());
        QVERIFY(!actions.at(3)->isEnabled());
    }
};

QTEST_MAIN(TestMenuTable)
#include "tst_menutable.moc"
