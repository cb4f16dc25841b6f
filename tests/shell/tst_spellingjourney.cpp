#include "editor/actiondispatcher.h"
#include "editor/notetextview.h"
#include "editor/spellchecker.h"
#include "editor/windowcontroller.h"
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

#include <algorithm>

using namespace Qt::StringLiterals;

// Check Spelling While Typing is the app's one setting: turned off from one note's menu, it is off in every note,
// in a note opened later and after a relaunch, and nothing typed there is corrected any more.
class TestSpellingJourney : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void offInOneNoteIsOffEverywhereAndLater()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_home.path()));
        if (!SpellChecker().language().startsWith(u"en"))
            QSKIP("Needs an English dictionary (hunspell-en-us) as the user's.");
        auto app = std::make_unique<AppDelegate>();
        QList<QWidget *> windows = launch(*app, {u"one.txt"_s, u"two.txt"_s});
        QCOMPARE(typeInto(windows.first()), u"the "_s); // on at first: corrected
        QAction *item = openSpellingMenu(windows.last());
        QVERIFY(item && item->isChecked());
        auto *menu = qobject_cast<QMenu *>(item->parent());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        windows << launch(*app, {u"three.txt"_s});
        for (QWidget *window : std::as_const(windows)) {
            QVERIFY(!openSpellingMenu(window)->isChecked());
            QVERIFY(typeInto(window).endsWith(u"teh "_s));
        }
        app.reset();
        app = std::make_unique<AppDelegate>();
        QWidget *relaunched = launch(*app, {u"four.txt"_s}).constFirst();
        QVERIFY(!openSpellingMenu(relaunched)->isChecked());
        QCOMPARE(typeInto(relaunched), u"teh "_s);
    }

private:
    QList<QWidget *> launch(AppDelegate &app, const QStringList &names)
    {
        QList<QUrl> urls;
        for (const QString &name : names) {
            TestSupport::writeBytes(m_home.filePath(name), {});
            urls.append(FileNames::urlOfPath(m_home.filePath(name)));
        }
        app.setNotesFolder(m_home.filePath(u"Desktop"_s));
        app.setLaunchFiles(urls);
        app.applicationDidFinishLaunching();
        QList<QWidget *> windows;
        for (const QUrl &url : std::as_const(urls)) {
            if (QTest::qWaitFor([&] { return app.documents().documentForUrl(url); }))
                windows.append(WindowController::of(app.documents().documentForUrl(url)).constFirst()->window());
        }
        return windows;
    }

    // Real keys at the end of the note; what the note then holds.
    static QString typeInto(QWidget *window)
    {
        while (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        auto *view = window->findChild<NoteTextView *>();
        view->setSelectedRange({view->textLength(), 0});
        QTest::keyClicks(view, u"teh "_s);
        return view->text();
    }

    // Opens Edit › Spelling and Grammar with clicks, as the user does; its item, found by the command it sends.
    static QAction *openSpellingMenu(QWidget *window)
    {
        window->activateWindow();
        auto *bar = qobject_cast<MenuBar *>(WindowController::forWindow(window)->menuBar());
        const QList<QAction *> items = bar->findChildren<QAction *>();
        QAction *item = *std::find_if(items.begin(), items.end(), [](const QAction *action) {
            return ActionDispatcher::commandOf(action) == Command::ToggleSpellingWhileTyping;
        });
        auto *submenu = qobject_cast<QMenu *>(item->parent());
        auto *edit = qobject_cast<QMenu *>(submenu->parent());
        if (!QTest::qWaitForWindowActive(window))
            return nullptr;
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit->menuAction()).center());
        if (!QTest::qWaitFor([&] { return edit->isVisible(); }))
            return nullptr;
        QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(submenu->menuAction()).center());
        return QTest::qWaitFor([&] { return submenu->isVisible(); }) ? item : nullptr;
    }

    QTemporaryDir m_home;
};

QTEST_MAIN(TestSpellingJourney)
#include "tst_spellingjourney.moc"
