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

} // namespace

class TestMenuTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each item's action is answered by the class listed for it.
    void everyActionHasAResponder()
    {
        for (const MenuTable::Menu *menu : allMenus()) {
            for (const MenuTable::Item &item : menu->items) {
                if (!*item.action || qstrcmp(item.action, unanswered) == 0)
                    continue;
                const auto *responder = std::find_if(std::begin(responders), std::end(responders), [&](auto &r) {
                    return QByteArray(r.second).split(' ').contains(item.action);
                });
                QVERIFY2(responder != std::end(responders), item.action);
                const QMetaObject *meta = responderClass(responder->first);
                const QByteArray slot = ActionDispatcher::slotNameFor(item.action);
                QVERIFY2(meta->indexOfMethod(slot + "(QObject*)") >= 0 || meta->indexOfMethod(slot + "()") >= 0,
                         slot.constData());
            }
        }
    }

    void windowMenuListsWindowsAndMarksTheActiveOne()
    {
        ActionDispatcher dispatcher;
        MenuBar bar(dispatcher);
        auto *first = new QWidget;
        auto *second = new QWidget;
        QWidget other; // not a document window: not listed
        first->setWindowTitle(QStringLiteral("20261014 Note.txt[*]"));
        second->setWindowTitle(QStringLiteral("20261014 Note 2.txt[*]"));
        const WindowController firstController(first);
        const WindowController secondController(second);
        for (QWidget *window : {first, second, &other})
            window->show();
        second->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), second);
        QMenu *menu = bar.findMenu(QStringLiteral("Window"));
        // Opening twice must not list a window twice.
        Q_EMIT menu->aboutToShow();
        Q_EMIT menu->aboutToShow();
        QStringList listed;
        const QList<QAction *> actions = menu->actions().mid(4);
        for (QAction *action : actions)
            listed.append(action->text() + QString::fromUtf8(action->isChecked() ? " *" : ""));
        listed.sort();
        QCOMPARE(listed, (QStringList{"20261014 Note 2.txt *", "20261014 Note.txt"}));
        // Choosing an item brings its window forward.
        (actions.at(0)->text() == u"20261014 Note.txt" ? actions.at(0) : actions.at(1))->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), first);
    }
};

QTEST_MAIN(TestMenuTable)
#include "tst_menutable.moc"
