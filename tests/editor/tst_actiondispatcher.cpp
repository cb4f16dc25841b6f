#include "editor/actiondispatcher.h"
#include "framework/error.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The application delegate's side of the chain, as the menus see it.
class Delegate : public QObject
{
    Q_OBJECT

public:
    QList<QByteArray> calls;

public Q_SLOTS:
    void newDocument(QObject *) { calls.append("newDocument"); }
    void hideApplication(QObject *) { calls.append("hideApplication"); }
    void copy(QObject *) { calls.append("copy"); }
    void failingCommand(QObject *) { throw Error(u"Quorbell"_s, 1, u"The note “a.txt” is gone."_s); }
};

// A container that answers an action for every widget inside it, like a find bar holding its field.
class Panel : public QWidget
{
    Q_OBJECT

public Q_SLOTS:
    void performFindPanelAction(QObject *) {}
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
        QCOMPARE(dispatcher.responderChain(),
                 (QList<QObject *>{field, panel, &window, &controller, &document, qApp, &delegate}));
        QCOMPARE(dispatcher.responderFor("performFindPanelAction:"), panel);
        QCOMPARE(dispatcher.responderFor("newDocument:"), &delegate);
        // Every widget has hide(): the app's Hide must not hide the focused field.
        QVERIFY(dispatcher.send("hide:", nullptr, nullptr));
        QVERIFY(field->isVisible());
        QCOMPARE(delegate.calls, QList<QByteArray>{"hideApplication"});
        QCOMPARE(dispatcher.responderFor("hideOtherApplications:"), nullptr);

        // A helper of the field is asked before the field, until the helper goes.
        auto *helper = new Delegate; // answers copy: too
        ActionDispatcher::setHelperResponder(field, helper);
        QCOMPARE(dispatcher.responderFor("copy:"), helper);
        QCOMPARE(dispatcher.responderChain().indexOf(helper) + 1, dispatcher.responderChain().indexOf(field));
        delete helper;
        QCOMPARE(dispatcher.responderFor("copy:"), field);
    }

    void itemsReachTheDelegateWithoutWindowAndFailuresArePresented()
    {
        QTRY_COMPARE(QApplication::activeWindow(), nullptr);
        ActionDispatcher dispatcher;
        Delegate delegate;
        dispatcher.setDelegate(&delegate);
        QStringList presented;
        dispatcher.setFailurePresenter([&presented](const Error &error) { presented.append(error.description()); });
        QAction item, failing;
        dispatcher.bind(&item, "newDocument:");
        dispatcher.bind(&failing, "failingCommand:");
        item.trigger();
        // A command that throws is presented, not let through the event loop.
        failing.trigger();
        QCOMPARE(delegate.calls, QList<QByteArray>{"newDocument"});
        QCOMPARE(presented, QStringList{u"The note “a.txt” is gone."_s});
    }

    // Items follow the focus; one sent to an explicit target ignores what the focused field would answer.
    void enablingFollowsFocusAndTarget()
    {
        ActionDispatcher dispatcher;
        Delegate delegate;
        dispatcher.setDelegate(&delegate);
        QAction chained, targeted;
        dispatcher.bind(&chained, "paste:");
        dispatcher.bind(&targeted, "paste:", ActionDispatcher::Target::Delegate);
        QTRY_COMPARE(QApplication::focusWidget(), nullptr);
        dispatcher.updateAllItems();
        QVERIFY(!chained.isEnabled());
        QWidget window;
        // No explicit update: the focus change alone enables the item.
        QVERIFY(focusIn(&window, new QLineEdit(&window)));
        QTRY_VERIFY(chained.isEnabled());
        dispatcher.updateAllItems();
        QVERIFY(!targeted.isEnabled());
        window.close();
        QTRY_VERIFY(!chained.isEnabled());
    }
};

QTEST_MAIN(TestActionDispatcher)
#include "tst_actiondispatcher.moc"
