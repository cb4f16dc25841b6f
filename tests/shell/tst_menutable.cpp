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
#include <QHash>
#include <QApplication>
#include <QMenu>
#include <QTest>

namespace {

using Target = ActionDispatcher::Target;

// "-" titles are separators, ">" titles hold a submenu.
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

// Who answers each action; "TextTools" answers the find bar, spelling and case items.
const std::pair<const char *, const char *> responders[] = {
    {"AppDelegate", "orderFrontStandardAboutPanel: checkForUpdates: hide: unhideAllApplications: terminate: "
                    "newDocument: openDocument: revealDocument: arrangeInFront: showHelp: openWebsite: "
                    "chooseNotesFolder: showPrivacy: openRecent:"},
    {"DocumentController", "clearRecentDocuments:"},
    {"Document", "saveDocument: renameDocument: moveDocument:"},
    {"WindowController", "performClose: performMiniaturize: performZoom:"},
    {"NoteTextView", "undo: redo: cut: copy: paste: pasteAsPlainText: delete: selectAll:"},
    {"TextTools", "performFindPanelAction: centerSelectionInVisibleArea: showGuessPanel: checkSpelling: "
                  "toggleContinuousSpellChecking: uppercaseWord: lowercaseWord: capitalizeWord:"},
};

// Nothing on Linux hides other applications: the item stays, disabled.
constexpr char unanswered[] = "hideOtherApplications:";

const QMetaObject *responderClass(const QByteArray &className)
{
    const QHash<QByteArray, const QMetaObject *> classes{{"WindowController", &WindowController::staticMetaObject},
                                                         {"Document", &Document::staticMetaObject},
                                                         {"NoteTextView", &NoteTextView::staticMetaObject},
                                                         {"TextTools", &TextTools::staticMetaObject},
                                                         {"AppDelegate", &AppDelegate::staticMetaObject},
                                                         {"DocumentController", &DocumentController::staticMetaObject}};
    return classes.value(className);
}

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
        const QStringList inOrder{"Nolt Nolt", "File", "Edit", "Window", "Help"};
        QStringList titles;
        for (const MenuTable::Menu &menu : MenuTable::mainMenu())
            titles.append(QString::fromUtf8(menu.title));
        QCOMPARE(titles, inOrder);
        ActionDispatcher dispatcher;
        MenuBar bar(dispatcher);
        titles.clear();
        const QList<QAction *> actions = bar.actions();
        // The shown titles carry their mnemonic ("&File"); the words are the table's.
        for (QAction *action : actions)
            titles.append(action->text().remove(u'&'));
        QCOMPARE(titles, inOrder);
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

        const QList<const MenuTable::Menu *> menus = allMenus();
        const auto found = std::find_if(menus.begin(), menus.end(), [&](const MenuTable::Menu *m) {
            return QString::fromUtf8(m->title) == menuTitle;
        });
        QVERIFY(found != menus.end());
        QVERIFY2(index < int((*found)->items.size()), "row missing from the table");
        const MenuTable::Item &item = (*found)->items[index];
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
        QCOMPARE(action->text().remove(u'&'), title);
        QCOMPARE(action->menu() != nullptr, expected.title[0] == '>');
        QCOMPARE(ActionDispatcher::actionOf(action), QByteArray(expected.action));
        QCOMPARE(action->shortcut(), QKeySequence(QString::fromUtf8(expected.shortcut)));
        if (!action->menu())
            QCOMPARE(action->property("tag").toInt(), expected.tag);
    }

    // Nothing beyond the rows above; Services, Open Recent and the window list stay empty until shown.
    void menuHoldsOnlyItsRows_data()
    {
        QTest::addColumn<QString>("menu");
        for (const char *title : {"Nolt Nolt", "Services", "File", "Open Recent", "Edit", "Find",
                                  "Spelling and Grammar", "Transformations", "Window", "Help"})
            QTest::newRow(title) << QString::fromUtf8(title);
    }
    void menuHoldsOnlyItsRows()
    {
        QFETCH(QString, menu);
        ActionDispatcher dispatcher;
        MenuBar bar(dispatcher);
        QMenu *built = bar.findMenu(menu);
        QVERIFY(built);
        QCOMPARE(built->actions().size(), std::count_if(std::begin(expectedRows), std::end(expectedRows),
                                                        [&menu](const Row &row) { return menu == row.menu; }));
    }

    void everyActionHasAResponder()
    {
        for (const MenuTable::Menu *menu : allMenus()) {
            for (const MenuTable::Item &item : menu->items) {
                const bool listed = std::any_of(std::begin(responders), std::end(responders), [&item](const auto &r) {
                    return QByteArray(r.second).split(' ').contains(item.action);
                });
                QVERIFY2(listed || !*item.action || qstrcmp(item.action, unanswered) == 0, item.action);
            }
        }
    }

    void responderAnswers_data()
    {
        QTest::addColumn<QByteArray>("action");
        QTest::addColumn<QByteArray>("className");
        for (const auto &[className, actions] : responders) {
            for (const QByteArray &action : QByteArray(actions).split(' '))
                QTest::addRow("%s by %s", action.constData(), className) << action << QByteArray(className);
        }
    }
    void responderAnswers()
    {
        QFETCH(QByteArray, action);
        QFETCH(QByteArray, className);
        const QMetaObject *meta = responderClass(className);
        QVERIFY(meta);
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
        // Only document windows are listed.
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
        const QList<QAction *> actions = menu->actions();
        QVERIFY(actions.at(3)->isSeparator());
        for (QAction *action : actions.mid(4))
            listed.append(action->text() + QString::fromUtf8(action->isChecked() ? " *" : ""));
        listed.sort();
        QCOMPARE(listed, (QStringList{"20261014 Note 2.txt *", "20261014 Note.txt"}));
        // Choosing an item brings its window forward.
        for (QAction *action : actions.mid(4)) {
            if (action->text() == u"20261014 Note.txt")
                action->trigger();
        }
        QTRY_COMPARE(QApplication::activeWindow(), first);
    }

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
