#include "framework/actiondispatcher.h"
#include "framework/error.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>

namespace {

// The application delegate's side of the chain, as the menus see it.
class Delegate : public QObject
{
    Q_OBJECT

public:
    QList<QByteArray> calls;
    QList<int> tags;

public Q_SLOTS:
    void newDocument(QObject *sender)
    {
        calls.append("newDocument");
        auto *item = qobject_cast<QAction *>(sender);
        tags.append(item ? item->property("tag").toInt() : -1);
    }
    void hideApplication(QObject *) { calls.append("hideApplication"); }
    void copy(QObject *) { calls.append("copy"); }
    void failingCommand(QObject *)
    {
        throw Error(QStringLiteral("Quorbell"), 1, QStringLiteral("The note “a.txt” is gone."));
    }
};

// A container that answers an action for every widget inside it, like a find bar holding its field.
class Panel : public QWidget
{
    Q_OBJECT

public:
    int finds = 0;

public Q_SLOTS:
    void performFindPanelAction(QObject *) { ++finds; }
};

// Shows the window, makes it active and gives the widget the focus, as a click would.
bool focusIn(QWidget *window, QWidget *widget)
{
    window->show();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        return false;
    widget->setFocus();
    return QTest::qWaitFor([widget] { return QApplication::focusWidget() == widget; });
}

} // namespace

class TestActionDispatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyReachesTheFocusedFieldAndTheNotesHelperFirst()
    {
        ActionDispatcher dispatcher;
        Delegate delegate;
        dispatcher.setDelegate(&delegate);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *note = new QPlainTextEdit(QStringLiteral("note text"));
        auto *field = new QLineEdit(QStringLiteral("find me"));
        layout->addWidget(note);
        layout->addWidget(field);
        QVERIFY(focusIn(&window, field));
        field->selectAll();
        QCOMPARE(dispatcher.responderFor("copy:"), field);
        QApplication::clipboard()->clear();
        QVERIFY(dispatcher.send("copy:", nullptr, nullptr));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("find me"));
        QVERIFY(delegate.calls.isEmpty());

        // A helper of the note is asked before the note, until the helper goes.
        QVERIFY(focusIn(&window, note));
        auto *helper = new Delegate; // answers copy: too
        ActionDispatcher::setHelperResponder(note, helper);
        QCOMPARE(dispatcher.responderFor("copy:"), helper);
        QCOMPARE(dispatcher.responderChain().indexOf(helper) + 1, dispatcher.responderChain().indexOf(note));
        delete helper;
        QCOMPARE(dispatcher.responderFor("copy:"), note);
    }

    void chainOrder()
    {
        ActionDispatcher dispatcher;
        Delegate delegate;
        dispatcher.setDelegate(&delegate);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *panel = new Panel;
        auto *field = new QLineEdit(panel);
        layout->addWidget(panel);
        QVERIFY(focusIn(&window, field));

        // The window's controller and its document follow the window's widgets.
        Panel controller;
        QObject document;
        dispatcher.setWindowResponders([&](QWidget *top) {
            return top == &window ? QList<QObject *>{&controller, &document} : QList<QObject *>{};
        });
        const QList<QObject *> chain = dispatcher.responderChain();
        const QList<QObject *> expected{field, panel, &window, &controller, &document, qApp, &delegate};
        QCOMPARE(chain, expected);
        // A parent of the focused field answers for it; the delegate answers what no widget does.
        QCOMPARE(dispatcher.responderFor("performFindPanelAction:"), panel);
        QCOMPARE(dispatcher.responderFor("newDocument:"), &delegate);
        // Every widget has hide(): the app's Hide must not hide the focused field.
        QCOMPARE(dispatcher.responderFor("hide:"), &delegate);
        QVERIFY(dispatcher.send("hide:", nullptr, nullptr));
        QVERIFY(field->isVisible());
        QCOMPARE(delegate.calls, QList<QByteArray>{"hideApplication"});
        QCOMPARE(dispatcher.responderFor("hideOtherApplications:"), nullptr);
    }

    void itemsReachTheDelegateWithoutWindowAndFailuresArePresented()
    {
        QTRY_COMPARE(QApplication::activeWindow(), nullptr);
        ActionDispatcher dispatcher;
        Delegate delegate;
        dispatcher.setDelegate(&delegate);
        QStringList presented;
        dispatcher.setFailurePresenter([&presented](const Error &error) { presented.append(error.description()); });
        QAction item;
        item.setProperty("tag", 7);
        dispatcher.bind(&item, "newDocument:");
        item.trigger();
        QCOMPARE(delegate.tags, QList<int>{7});
        // A command that throws is presented, not let through the event loop.
        QAction failing;
        dispatcher.bind(&failing, "failingCommand:");
        failing.trigger();
        QCOMPARE(presented, QStringList{QStringLiteral("The note “a.txt” is gone.")});
    }

    // An item sent to an explicit target ignores what the focused field would answer.
    void enablingHonoursTheTarget()
    {
        ActionDispatcher dispatcher;
        Delegate delegate;
        dispatcher.setDelegate(&delegate);
        QMenu menu;
        QAction *chained = menu.addAction(QStringLiteral("Paste"));
        QAction *targeted = menu.addAction(QStringLiteral("Paste to the delegate"));
        dispatcher.bind(chained, "paste:");
        dispatcher.bind(targeted, "paste:", ActionDispatcher::Target::Delegate);
        QWidget window;
        QVERIFY(focusIn(&window, new QLineEdit(&window)));
        dispatcher.updateItems(&menu);
        QVERIFY(chained->isEnabled());
        QVERIFY(!targeted->isEnabled());
    }

    void enablingFollowsFocus()
    {
        ActionDispatcher dispatcher;
        QAction item;
        dispatcher.bind(&item, "selectAll:");
        QTRY_COMPARE(QApplication::focusWidget(), nullptr);
        dispatcher.updateAllItems();
        QVERIFY(!item.isEnabled());
        QWidget window;
        // No explicit update: the focus change alone enables the item.
        QVERIFY(focusIn(&window, new QLineEdit(&window)));
        QTRY_VERIFY(item.isEnabled());
        window.close();
        QTRY_VERIFY(!item.isEnabled());
    }
};

QTEST_MAIN(TestActionDispatcher)
#include "tst_actiondispatcher.moc"
