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

#include <memory>

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
    // Who answers a command along the focus chain ("" for none), and its item's state, which follows the focus.
    void chain_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("answerer");
        QTest::addColumn<bool>("enabled");
        const int copy = int(Command::Copy), all = int(Command::SelectAll);
        QTest::newRow("the focused widget's parent first") << "focus" << int(Command::Find) << "panel" << true;
        QTest::newRow("the window's controller after its widgets")
            << "focus" << int(Command::Minimize) << "window" << true;
        QTest::newRow("the delegate last") << "focus" << int(Command::New) << "delegate" << true;
        QTest::newRow("nothing answers") << "focus" << int(Command::HideOthers) << "" << false;
        QTest::newRow("a helper before its field") << "focus helper select" << copy << "helper" << true;
        QTest::newRow("the helper gone: the field copies") << "focus gone select" << copy << "field" << true;
        QTest::newRow("no selection: the field's Copy, disabled") << "focus" << copy << "field" << false;
        QTest::newRow("no window: the delegate") << "" << int(Command::New) << "delegate" << true;
        QTest::newRow("a failure is presented, not let through") << "" << int(Command::Quit) << "presented" << true;
        QTest::newRow("no focus: no Select All") << "" << all << "" << false;
        QTest::newRow("the focus alone enables Select All") << "focus" << all << "field" << true;
        QTest::newRow("sent to the delegate: the field is not asked") << "focus delegate" << all << "" << false;
    }

    void chain()
    {
        QFETCH(QString, setup);
        QFETCH(int, command);
        QFETCH(QString, answerer);
        QFETCH(bool, enabled);
        ActionDispatcher dispatcher;
        Responder delegate({Command::New, Command::Hide, Command::Find, Command::Copy, Command::Quit});
        dispatcher.setDelegate(&delegate);
        QStringList presented;
        dispatcher.setFailurePresenter([&presented](const Error &error) { presented.append(error.description()); });
        QTRY_COMPARE(QApplication::focusWidget(), nullptr);
        QAction item;
        dispatcher.bind(&item, Command(command),
                        setup.contains(u"delegate") ? ActionDispatcher::Target::Delegate
                                                    : ActionDispatcher::Target::Chain);
        auto *window = new QWidget;
        const WindowController controller(window);
        auto *panel = new Panel;
        auto *field = new QLineEdit(u"field text"_s, panel);
        (new QVBoxLayout(window))->addWidget(panel);
        auto helper = std::make_unique<Helper>();
        if (setup.contains(u"helper") || setup.contains(u"gone"))
            dispatcher.setHelperResponder(field, helper.get());
        if (!setup.contains(u"helper"))
            helper.reset();
        if (setup.contains(u"select"))
            field->selectAll();
        if (setup.contains(u"focus"))
            QVERIFY(focusIn(window, field));
        // No explicit update: the focus change alone sets the item.
        QTRY_COMPARE(item.isEnabled(), enabled);
        QGuiApplication::clipboard()->clear();
        item.trigger();
        const QList<Command> sent{Command(command)};
        QCOMPARE(panel->performed, answerer == u"panel" ? sent : QList<Command>());
        QCOMPARE(delegate.performed, answerer == u"delegate" ? sent : QList<Command>());
        QVERIFY(!helper || helper->performed == sent);
        QCOMPARE(presented, answerer == u"presented" ? QStringList{u"The note “a.txt” is gone."_s} : QStringList());
        if (answerer == u"field")
            QCOMPARE(command == int(Command::Copy) ? QGuiApplication::clipboard()->text() : field->selectedText(),
                     enabled ? u"field text"_s : QString());
        window->close();
        QTRY_COMPARE(item.isEnabled(), delegate.answers(Command(command)));
    }
};

QTEST_MAIN(TestActionDispatcher)
#include "tst_actiondispatcher.moc"
