#include "editor/commands/actiondispatcher.h"
#include "editor/commands/commandresponder.h"
#include "framework/error.h"

#include <QAction>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Fails every command, as one on a note that is gone does.
class Failing : public CommandResponder
{
public:
    bool answers(Command) const override { return true; }
    void perform(Command, const QVariant &) override { throw Error(u"Quorbell"_s, 1, u"The note “a.txt” is gone."_s); }
};

} // namespace

class TestActionDispatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A failing command is told to the user, never let through the event loop, where it would end the app.
    void failureIsPresentedNotLetThrough()
    {
        ActionDispatcher dispatcher;
        Failing delegate;
        dispatcher.setDelegate(&delegate);
        QStringList presented;
        dispatcher.setFailurePresenter([&presented](const Error &error) { presented.append(error.description()); });
        QAction item;
        dispatcher.bind(&item, Command::Quit, ActionDispatcher::Target::Chain);
        item.trigger();
        QCOMPARE(presented, QStringList{u"The note “a.txt” is gone."_s});
    }
};

QTEST_MAIN(TestActionDispatcher)
#include "tst_actiondispatcher.moc"
