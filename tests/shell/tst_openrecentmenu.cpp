#include "framework/actiondispatcher.h"
#include "framework/documentcontroller.h"
#include "shell/openrecentmenu.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The application delegate's answer to an Open Recent item.
class Delegate : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void openRecent(QObject *sender) { opened.append(OpenRecentMenu::urlOf(sender)); }
};

} // namespace

class TestOpenRecentMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rebuild_data()
    {
        QTest::addColumn<QStringList>("recent");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("toolTips");
        QTest::newRow("two files, newest first")
            << QStringList{"/n/20261014 Note 2.txt", "/n/20261014 Note.txt"}
            << QStringList{"20261014 Note 2.txt", "20261014 Note.txt", "", "Clear Menu"}
            << QStringList{"/n/20261014 Note 2.txt", "/n/20261014 Note.txt", "", "Clear Menu"};
        QTest::newRow("same name in two folders: tool tips tell them apart")
            << QStringList{"/a/todo.txt", "/b/todo.txt"} << QStringList{"todo.txt", "todo.txt", "", "Clear Menu"}
            << QStringList{"/a/todo.txt", "/b/todo.txt", "", "Clear Menu"};
    }
    void rebuild()
    {
        QFETCH(QStringList, recent);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, toolTips);
        ActionDispatcher dispatcher;
        Delegate delegate;
        dispatcher.setDelegate(&delegate);
        DocumentController documents(QTemporaryDir().filePath(QStringLiteral("unused.ini")));
        dispatcher.setDocumentController(&documents);
        QMenu menu(QString::fromLatin1(OpenRecentMenu::title));
        QList<QUrl> urls;
        for (const QString &path : recent)
            urls.append(QUrl::fromLocalFile(path));
        // Rebuilt on every opening: the second time must not add to the first.
        OpenRecentMenu::rebuild(&menu, urls, dispatcher);
        OpenRecentMenu::rebuild(&menu, urls, dispatcher);
        QStringList shownTitles;
        QStringList shownTips;
        const QList<QAction *> actions = menu.actions();
        for (QAction *action : actions) {
            shownTitles.append(action->text());
            shownTips.append(action->isSeparator() ? QString() : action->toolTip());
            QVERIFY(action->isSeparator() || action->isEnabled() == !recent.isEmpty());
        }
        QCOMPARE(shownTitles, titles);
        QCOMPARE(shownTips, toolTips);
        if (!recent.isEmpty()) {
            menu.actions().first()->trigger();
            QCOMPARE(delegate.opened, QList<QUrl>{urls.first()});
        }
    }

    void clearMenuEmptiesTheList()
    {
        QTemporaryDir dir;
        ActionDispatcher dispatcher;
        DocumentController documents(dir.filePath(QStringLiteral("settings.ini")));
        dispatcher.setDocumentController(&documents);
        documents.noteNewRecentDocumentUrl(QUrl::fromLocalFile(dir.filePath(QStringLiteral("a.txt"))));
        QMenu menu(QString::fromLatin1(OpenRecentMenu::title));
        OpenRecentMenu::rebuild(&menu, documents.recentDocumentUrls(), dispatcher);
        QAction *clear = menu.actions().last();
        QCOMPARE(clear->text(), QStringLiteral("Clear Menu"));
        QVERIFY(clear->isEnabled());
        clear->trigger();
        QVERIFY(documents.recentDocumentUrls().isEmpty());
        OpenRecentMenu::rebuild(&menu, documents.recentDocumentUrls(), dispatcher);
        QCOMPARE(menu.actions().size(), 1);
        QCOMPARE(menu.actions().first()->text(), QStringLiteral("No Recent Documents"));
    }
};

QTEST_MAIN(TestOpenRecentMenu)
#include "tst_openrecentmenu.moc"
