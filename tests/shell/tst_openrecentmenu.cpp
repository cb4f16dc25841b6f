#include "editor/actiondispatcher.h"
#include "editor/commandresponder.h"
#include "shell/documentcontroller.h"
#include "shell/openrecentmenu.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The application delegate's answer to an Open Recent item.
class Delegate : public CommandResponder
{
public:
    QList<QUrl> opened;

    bool answers(Command command) const override { return command == Command::OpenRecent; }
    void perform(Command, const QVariant &argument) override { opened.append(argument.toUrl()); }
};

} // namespace

class TestOpenRecentMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rebuiltOnEveryOpeningAndCleared()
    {
        QTemporaryDir dir;
        ActionDispatcher dispatcher;
        Delegate delegate;
        dispatcher.setDelegate(&delegate);
        DocumentController documents([] { return nullptr; }, {}, dir.filePath(QStringLiteral("settings.ini")));
        dispatcher.setDocumentController(&documents);
        documents.noteNewRecentDocumentUrl(QUrl::fromLocalFile("/b/todo.txt"));
        documents.noteNewRecentDocumentUrl(QUrl::fromLocalFile("/a/todo.txt"));
        QMenu menu(QString::fromLatin1(OpenRecentMenu::title));
        // The second time must not add to the first.
        OpenRecentMenu::rebuild(&menu, documents.recentDocumentUrls(), dispatcher);
        OpenRecentMenu::rebuild(&menu, documents.recentDocumentUrls(), dispatcher);
        QStringList shown;
        for (QAction *action : menu.actions())
            shown << action->text() + u'|' + (action->isSeparator() ? QString() : action->toolTip());
        // Notes of the same name in two folders are told apart by their tool tips.
        QCOMPARE(shown, (QStringList{"todo.txt|/a/todo.txt", "todo.txt|/b/todo.txt", "|", "Clear Menu|Clear Menu"}));
        menu.actions().first()->trigger();
        QCOMPARE(delegate.opened, QList<QUrl>{QUrl::fromLocalFile("/a/todo.txt")});
        menu.actions().last()->trigger();
        QVERIFY(documents.recentDocumentUrls().isEmpty());
    }
};

QTEST_MAIN(TestOpenRecentMenu)
#include "tst_openrecentmenu.moc"
