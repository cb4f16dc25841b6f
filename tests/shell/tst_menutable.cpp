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

// Nothing on Linux hides other applications: the item stays, disabled.
constexpr char unanswered[] = "hideOtherApplications:";

// The classes on the responder chain that answer menu items.
const QMetaObject *const responderClasses[] = {
    &WindowController::staticMetaObject, &Document::staticMetaObject,    &NoteTextView::staticMetaObject,
    &TextTools::staticMetaObject,        &AppDelegate::staticMetaObject, &DocumentController::staticMetaObject};

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
    // Each item's action is answered by a class on the responder chain: a misspelt one would stay disabled.
    void everyActionHasAResponder()
    {
        for (const MenuTable::Menu *menu : allMenus()) {
            for (const MenuTable::Item &item : menu->items) {
                if (!*item.action || qstrcmp(item.action, unanswered) == 0)
                    continue;
                const QByteArray slot = ActionDispatcher::slotNameFor(item.action);
                QVERIFY2(std::any_of(std::begin(responderClasses), std::end(responderClasses),
                                     [&](const QMetaObject *meta) {
                                         return meta->indexOfMethod(slot + "(QObject*)") >= 0 ||
                                                meta->indexOfMethod(slot + "()") >= 0;
                                     }),
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
