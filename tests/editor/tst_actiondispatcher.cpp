#include "editor/actiondispatcher.h"
#include "editor/commandresponder.h"
#include "framework/error.h"
#include "editor/windowcontroller.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Answers the commands it is given and records what it carried out.
class Responder : public CommandResponder
{
public:
    explicit Responder(QList<Command> answered)
        : m_answered(std::move(answered))
    {}
    QList<Command> performed;

    bool answers(Command command) const override { return m_answered.contains(command); }
    void perform(Command command, const QVariant &) override
    {
        if (command == Command::Quit)
            throw Error(u"Quorbell"_s, 1, u"The note “a.txt” is gone."_s);
        performed.append(command);
    }

private:
    QList<Command> m_answered;
};

// A container that answers a command for every widget inside it, like a find bar holding its field.
class Panel : public QWidget, public Responder
{
public:
    Panel()
        : Responder({Command::Find})
    {}
};

class Helper : public QObject, public Responder
{
public:
    Helper()
        : Responder({Command::Copy})
    {}
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
        Responder delegate({Command::New, Command::Hide, Command::Find, Command::Copy});
        dispatcher.setDelegate(&delegate);
        auto *window = new QWidget;
        const WindowController controller(window);
        auto *layout = new QVBoxLayout(window);
        auto *panel = new Panel;
        auto *field = new QLineEdit(u"field text"_s, panel);
        layout->addWidget(panel);
        QVERIFY(focusIn(window, field));
        // The focused widget's parents come before the delegate, the window's controller after its widgets.
        QVERIFY(dispatcher.send(Command::Find));
        QCOMPARE(panel->performed, QList<Command>{Command::Find});
        QVERIFY(dispatcher.canPerform(Command::Minimize).has_value());
        QVERIFY(dispatcher.send(Command::New));
        QVERIFY(dispatcher.send(Command::Hide));
        QCOMPARE(delegate.performed, (QList<Command>{Command::New, Command::Hide}));
        QCOMPARE(dispatcher.canPerform(Command::HideOthers), std::nullopt);
        QVERIFY(!dispatcher.send(Command::HideOthers));

        // A helper of the field is asked before the field, until the helper goes; the field copies its own text.
        auto *helper = new Helper;
        dispatcher.setHelperResponder(field, helper);
        field->selectAll();
        QVERIFY(dispatcher.send(Command::Copy));
        QCOMPARE(helper->performed, QList<Command>{Command::Copy});
        delete helper;
        QGuiApplication::clipboard()->clear();
        QVERIFY(dispatcher.send(Command::Copy));
        QCOMPARE(QGuiApplication::clipboard()->text(), u"field text"_s);
        // Without a selection Copy stays the field's, disabled: the delegate's Copy is never reached.
        field->deselect();
        QCOMPARE(dispatcher.canPerform(Command::Copy), std::optional<bool>(false));
    }

    void itemsReachTheDelegateWithoutWindowAndFailuresArePresented()
    {
        QTRY_COMPARE(QApplication::activeWindow(), nullptr);
        ActionDispatcher dispatcher;
        Responder delegate({Command::New, Command::Quit});
        dispatcher.setDelegate(&delegate);
        QStringList presented;
        dispatcher.setFailurePresenter([&presented](const Error &error) { presented.append(error.description()); });
        QAction item, failing;
        dispatcher.bind(&item, Command::New);
        dispatcher.bind(&failing, Command::Quit);
        item.trigger();
        // A command that throws is presented, not let through the event loop.
        failing.trigger();
        QCOMPARE(delegate.performed, QList<Command>{Command::New});
        QCOMPARE(presented, QStringList{u"The note “a.txt” is gone."_s});
    }

    // Items follow the focus; one sent to an explicit target ignores what the focused field would answer.
    void enablingFollowsFocusAndTarget()
    {
        ActionDispatcher dispatcher;
        Responder delegate({Command::New});
        dispatcher.setDelegate(&delegate);
        QAction chained, targeted;
        dispatcher.bind(&chained, Command::SelectAll);
        dispatcher.bind(&targeted, Command::SelectAll, ActionDispatcher::Target::Delegate);
        QTRY_COMPARE(QApplication::focusWidget(), nullptr);
        dispatcher.updateAllItems();
        QVERIFY(!chained.isEnabled());
        QWidget window;
        // No explicit update: the focus change alone enables the item.
        QVERIFY(focusIn(&window, new QLineEdit(u"text"_s, &window)));
        QTRY_VERIFY(chained.isEnabled());
        dispatcher.updateAllItems();
        QVERIFY(!targeted.isEnabled());
        window.close();
        QTRY_VERIFY(!chained.isEnabled());
    }
};

QTEST_MAIN(TestActionDispatcher)
#include "tst_actiondispatcher.moc"
