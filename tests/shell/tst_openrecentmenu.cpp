#include "editor/windowcontroller.h"
#include "framework/document.h"
#include "framework/filenames.h"
#include "shell/appdelegate.h"
#include "shell/documentcontroller.h"
#include "shell/menubar.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Open Recent as the user reaches it: File › Open Recent in the real app's menu bar, by mouse and by keyboard.
class TestOpenRecentMenu : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensARecentNote_data()
    {
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("mouse: File, Open Recent, the note") << false;
        QTest::newRow("keyboard: Alt+F, Down to Open Recent, Right, Down to the note, Return") << true;
    }

    void opensARecentNote()
    {
        QFETCH(bool, byKeyboard);
        QTemporaryDir dir;
        QList<QUrl> notes;
        for (const QString &name : {u"first.txt"_s, u"second.txt"_s}) {
            TestSupport::writeBytes(dir.filePath(name), "text");
            notes.append(FileNames::urlOfPath(dir.filePath(name)));
        }
        AppDelegate app;
        app.setNotesFolder(dir.filePath(u"Desktop"_s));
        app.setLaunchFiles(notes);
        app.applicationDidFinishLaunching();
        QTRY_COMPARE(app.documents().documents().size(), 2);
        // The first note is closed: Open Recent is the way back to it.
        app.documents().documentForUrl(notes.first())->close();
        WindowController *window = WindowController::of(app.documents().documentForUrl(notes.last())).constFirst();
        window->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window->window()));
        auto *bar = qobject_cast<MenuBar *>(window->menuBar());
        QVERIFY(bar);
        QMenu *recent = bar->menu(MenuTable::Role::OpenRecent);
        QVERIFY(recent);
        auto *file = qobject_cast<QMenu *>(recent->parentWidget());
        QVERIFY(file);

        if (byKeyboard) {
            press(Qt::Key_F, Qt::AltModifier);
            QTRY_VERIFY(file->isVisible());
            QVERIFY(pressDownUntil(file, recent->menuAction()));
            press(Qt::Key_Right);
            QTRY_VERIFY(recent->isVisible());
            QVERIFY(file->isVisible()); // not the next menu of the bar
            QVERIFY(pressDownUntil(recent, itemFor(recent, notes.first())));
            press(Qt::Key_Return);
        } else {
            openByMouse(bar, recent);
            QAction *item = itemFor(recent, notes.first());
            QVERIFY(item);
            QTest::mouseClick(recent, Qt::LeftButton, {}, recent->actionGeometry(item).center());
        }
        QTRY_VERIFY(app.documents().documentForUrl(notes.first()));
        QVERIFY(!recent->isVisible() && !file->isVisible());

        // Clear Menu empties it, and it says so the next time it opens.
        openByMouse(bar, recent);
        QTest::mouseClick(recent, Qt::LeftButton, {}, recent->actionGeometry(recent->actions().constLast()).center());
        QTRY_VERIFY(app.documents().recentDocumentUrls().isEmpty());
        openByMouse(bar, recent);
        QCOMPARE(recent->actions().size(), 1);
        QVERIFY(!recent->actions().constFirst()->isEnabled());
    }

private:
    static void openByMouse(QMenuBar *bar, QMenu *recent)
    {
        auto *file = qobject_cast<QMenu *>(recent->parentWidget());
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file->menuAction()).center());
        QTRY_VERIFY(file->isVisible());
        const QPoint row = file->actionGeometry(recent->menuAction()).center();
        QTest::mouseMove(file, row);
        QTest::mouseClick(file, Qt::LeftButton, {}, row);
        QTRY_VERIFY(recent->isVisible());
    }

    // A key as the user types it: to the menu that is open, else to the widget with the focus.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget *target = QApplication::activePopupWidget();
        if (!target)
            target = QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, key, modifiers);
    }

    static bool pressDownUntil(QMenu *menu, const QAction *wanted)
    {
        for (int i = 0; i < 20 && menu->activeAction() != wanted; ++i)
            press(Qt::Key_Down);
        return menu->activeAction() == wanted;
    }

    // The item of the Open Recent menu that opens url, with the file name as its title and the path as its tip.
    static QAction *itemFor(const QMenu *recent, const QUrl &url)
    {
        const QList<QAction *> items = recent->actions();
        for (QAction *item : items) {
            if (item->data().toUrl() == url && item->text() == url.fileName() && item->toolTip() == url.toLocalFile())
                return item;
        }
        return nullptr;
    }
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestOpenRecentMenu>(argc, argv);
}
#include "tst_openrecentmenu.moc"
