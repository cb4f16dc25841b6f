#include "editor/find/findbar.h"
#include "editor/messages/messagebar.h"
#include "editor/spelling/spellchecker.h"
#include "support/launchfixture.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QRegularExpression>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace TestSupport;

// What a new user does through the real app's menu bar and keys: Save As, undoing from the find bar, printing,
// Open Recent and the spelling setting.
class TestMenuJourneys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A desktop's own file dialog runs in another process, out of the test's reach.
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init() { m_app = std::make_unique<LaunchFixture>(); }
    void cleanup() { m_app.reset(); }

    // The menu bar takes the focus while the keyboard drives it (Alt+E opens Edit without typing into the note); the
    // items still follow the note's state: Cut, Copy, Paste, Delete, Undo, Redo, Select All, Find Next ("1" enabled).
    void itemsKnowTheirStateWhileTheMenuHasFocus()
    {
        QApplication::clipboard()->clear();
        QWidget *window = m_app->launch({u"note.txt"_s}, "").constFirst();
        NoteTextView *view = LaunchFixture::viewOf(window);
        QTest::keyClicks(view, u"ab"_s);
        view->selectAll();
        QTest::keyClick(view, Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(LaunchFixture::barOf(window)->findMenu(u"Edit"_s)->isVisible());
        QString state;
        for (Command command : {Command::Cut, Command::Copy, Command::Paste, Command::Delete, Command::Undo,
                                Command::Redo, Command::SelectAll, Command::FindNext})
            state += LaunchFixture::itemOf(window, command)->isEnabled() ? u'1' : u'0';
        QCOMPARE(state, u"11011010"_s);
    }

    // Ctrl+S, then Save As with the app's own dialog, answered with a new name: the window goes on as the copy.
    void saveAsFromTheFileMenu()
    {
        QWidget *window = m_app->launch({u"note.txt"_s}).constFirst();
        NoteTextView *view = LaunchFixture::viewOf(window);
        QTest::keyClicks(view, u"typed "_s);
        const QByteArray typed = view->text().toUtf8();
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(WindowController::forWindow(window)->document()->finishWrites());
        const QString copy = m_app->dir.filePath(u"copy.txt"_s);
        QTimer::singleShot(0, this, [copy] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->selectFile(copy);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(readBytes(copy), typed);
        QTRY_COMPARE(window->windowTitle(), u"copy"_s);
        QCOMPARE(readBytes(m_app->dir.filePath(u"note.txt"_s)), typed);
        QCOMPARE(shownBars(window), 0);
    }

    // After Replace All, Ctrl+Z in the search field undoes it once the field has nothing of its own left to undo.
    // Tab goes from the search text to the replacement.
    void undoFromTheFindBar()
    {
        QWidget *window = m_app->launch({u"note.txt"_s}).constFirst();
        NoteTextView *view = LaunchFixture::viewOf(window);
        view->setText(u"one two one"_s);
        auto *findBar = window->findChild<FindBar *>();
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), findBar->searchField());
        QTest::keyClicks(findBar->searchField(), u"one"_s);
        QTest::keyClick(findBar->searchField(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), findBar->replaceField());
        QTest::keyClicks(findBar->replaceField(), u"1"_s);
        QTest::keyClick(findBar->replaceField(), Qt::Key_Tab);     // Replace
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // All
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(view->text(), u"1 two 1"_s);
        QTest::mouseClick(findBar->searchField(), Qt::LeftButton);
        for (int i = 0; i < 10 && findBar->searchField()->isUndoAvailable(); ++i)
            QTest::keyClick(findBar->searchField(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view->text(), u"1 two 1"_s);
        QTest::keyClick(findBar->searchField(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(view->text(), u"one two one"_s);
    }

    // File › Print… (Ctrl+P) prints the note once, page after page under a header with the note's name and page
    // number.
    void printsTheNoteAsShown()
    {
        QString text;
        for (int line = 1; line <= 90; ++line)
            text += u"Line %1: "_s.arg(line) + QString(u"wrapped words "_s).repeated(line % 3 == 0 ? 12 : 2) + u'\n';
        QWidget *window = m_app->launch({u"note.txt"_s}, text.toUtf8()).constFirst();
        const QString pdf = m_app->dir.filePath(u"note.pdf"_s);
        bool asked = false;
        QTimer::singleShot(0, this, [pdf, &asked] {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            asked = true;
            // Without a print server the platform's dialog offers printing to a PDF file, named in this field.
            auto *file = dialog->findChild<QLineEdit *>(u"filename"_s);
            QVERIFY(file);
            file->setText(pdf);
            dialog->accept();
        });
        QTest::keyClick(LaunchFixture::viewOf(window), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(asked && QFileInfo::exists(pdf));
        QCOMPARE(shownBars(window), 0);
        QString printed = QString::fromUtf8(TestSupport::run(u"pdftotext"_s, {u"-enc"_s, u"UTF-8"_s, pdf, u"-"_s}).out);
        if (printed.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        // Every page is headed by the note's name and its number; the rest is the note once, wrapped as the page
        // needs.
        QVERIFY2(printed.contains(u"Page 1 of %1\n"_s.arg(printed.count(u'\f'))), qPrintable(printed.left(400)));
        printed.remove(QRegularExpression(u"note\\.txt|Page \\d+ of \\d+|\\s"_s));
        QCOMPARE(printed, text.remove(QRegularExpression(u"\\s"_s)));
    }

    // Open Recent by mouse after a relaunch: each note once, the last opened first, one renamed meanwhile under its
    // new name (the old one would open nothing); Clear Menu empties it.
    void opensARecentNote()
    {
        const QList<QUrl> notes = m_app->notes({u"first.txt"_s, u"second.txt"_s});
        QCOMPARE(m_app->launchUrls(notes).size(), 2);
        const QUrl renamed = QUrl::fromLocalFile(m_app->dir.filePath(u"renamed.txt"_s));
        QVERIFY(QFile::rename(notes.first().toLocalFile(), renamed.toLocalFile()));
        QTRY_VERIFY(m_app->windowOf(renamed));
        m_app->start();
        QWidget *window = m_app->launchUrls({notes.last()}).constFirst();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        MenuBar *bar = LaunchFixture::barOf(window);
        QMenu *recent = bar->menu(MenuTable::Role::OpenRecent);
        openRecentByMouse(bar, recent);
        QList<QUrl> listed;
        for (const QAction *item : recent->actions())
            listed.append(item->data().toUrl());
        QCOMPARE(listed.mid(0, 2), (QList<QUrl>{notes.last(), renamed}));
        QVERIFY(listed.count(notes.last()) == 1 && listed.count(renamed) == 1 && !listed.contains(notes.first()));
        QTest::mouseClick(recent, Qt::LeftButton, {}, recent->actionGeometry(recent->actions().at(1)).center());
        QTRY_VERIFY(m_app->windowOf(renamed));
        openRecentByMouse(bar, recent);
        QTest::mouseClick(recent, Qt::LeftButton, {}, recent->actionGeometry(recent->actions().constLast()).center());
        QTRY_VERIFY(m_app->app->documents().recentDocumentUrls().isEmpty());
    }

    // Check Spelling While Typing is the app's one setting: turned off from one note's menu, it is off in every note,
    // in a note opened later and after a relaunch, and nothing typed there is corrected any more.
    void spellingOffInOneNoteIsOffEverywhereAndLater()
    {
        if (!SpellChecker().language().startsWith(u"en"))
            QSKIP("Needs an English dictionary (hunspell-en-us) as the user's.");
        QList<QWidget *> windows = m_app->launch({u"one.txt"_s, u"two.txt"_s}, "");
        QCOMPARE(typeAtEnd(windows.first()), u"the "_s); // on at first: corrected
        QAction *item = openSpellingMenu(windows.last());
        QVERIFY(item && item->isChecked());
        auto *menu = qobject_cast<QMenu *>(item->parent());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        QVERIFY(!openSpellingMenu(windows.first())->isChecked());
        windows << m_app->open(m_app->notes({u"three.txt"_s}, ""));
        for (QWidget *window : std::as_const(windows))
            QVERIFY(typeAtEnd(window).endsWith(u"teh "_s));
        m_app->start();
        QCOMPARE(typeAtEnd(m_app->launch({u"four.txt"_s}, "").constFirst()), u"teh "_s);
    }

private:
    static void openRecentByMouse(QMenuBar *bar, QMenu *recent)
    {
        auto *file = qobject_cast<QMenu *>(recent->parentWidget());
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file->menuAction()).center());
        QTRY_VERIFY(file->isVisible());
        const QPoint row = file->actionGeometry(recent->menuAction()).center();
        QTest::mouseMove(file, row);
        QTest::mouseClick(file, Qt::LeftButton, {}, row);
        QTRY_VERIFY(recent->isVisible());
    }

    // Real keys at the end of the note; what the note then holds.
    static QString typeAtEnd(QWidget *window)
    {
        while (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        NoteTextView *view = LaunchFixture::viewOf(window);
        view->setSelectedRange({view->textLength(), 0});
        QTest::keyClicks(view, u"teh "_s);
        return view->text();
    }

    // Opens Edit › Spelling and Grammar with clicks, as the user does; its item, found by the command it sends.
    static QAction *openSpellingMenu(QWidget *window)
    {
        window->activateWindow();
        QMenuBar *bar = LaunchFixture::barOf(window);
        QAction *item = LaunchFixture::itemOf(window, Command::ToggleSpellingWhileTyping);
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

    static int shownBars(const QWidget *window)
    {
        const QList<MessageBar *> bars = window->findChildren<MessageBar *>();
        return int(std::count_if(bars.begin(), bars.end(), [](const MessageBar *bar) { return bar->isVisible(); }));
    }

    std::unique_ptr<LaunchFixture> m_app;
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestMenuJourneys>(argc, argv);
}
#include "tst_menujourneys.moc"
