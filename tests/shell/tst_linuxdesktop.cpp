#include "editor/notefixture.h"
#include "editor/textzoom.h"
#include "framework/actiondispatcher.h"
#include "shell/menubar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>

#include "editor/findbar.h"
#include "editor/texttools.h"

using namespace Qt::StringLiterals;

namespace {

// Answers the Help item the way the app's delegate does.
class Delegate : public QObject
{
    Q_OBJECT

public:
    int helpShown = 0;

public Q_SLOTS:
    void showHelp(QObject *) { ++helpShown; }
};

QAction *itemTitled(MenuBar *bar, const QString &title)
{
    const QList<QAction *> actions = bar->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->property("noltnoltTableTitle").toString() == title)
            return action;
    }
    return nullptr;
}

// The items whose state follows the text, in this order in the expectations below.
const QStringList stateItems{u"Cut"_s,  u"Copy"_s, u"Paste"_s,      u"Delete"_s,
                             u"Undo"_s, u"Redo"_s, u"Select All"_s, u"Find Next"_s};

} // namespace

class TestLinuxDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ActionDispatcher m_dispatcher;
    Delegate m_delegate;
    std::unique_ptr<PlainTextDocument> m_note;
    Editor *m_editor = nullptr;
    MenuBar *m_bar = nullptr;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        const QString path = m_dir.filePath(u"note.txt"_s);
        QFile::remove(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_dispatcher.setDelegate(&m_delegate);
        m_note = NoteFixture::openNote(path);
        m_editor = NoteFixture::editorOf(*m_note);
        QVERIFY(m_editor);
        m_bar = new MenuBar(m_dispatcher, m_editor->window());
        m_editor->setMenuBar(m_bar);
        m_editor->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_editor->window()));
        m_editor->textView()->setFocus();
        QGuiApplication::clipboard()->clear();
    }
    void cleanup()
    {
        m_note->close();
        m_note.reset();
    }

    // Real key events on the note's window: the menus answer them and the note keeps its text.
    void keyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("openMenu");
        QTest::addColumn<int>("helpShown");
        QTest::newRow("F10 opens the first menu") << int(Qt::Key_F10) << 0 << u"Nolt Nolt"_s << 0;
        QTest::newRow("Alt+F opens File") << int(Qt::Key_F) << int(Qt::AltModifier) << u"File"_s << 0;
        QTest::newRow("Alt+E opens Edit") << int(Qt::Key_E) << int(Qt::AltModifier) << u"Edit"_s << 0;
        QTest::newRow("Alt+Q means nothing and types nothing") << int(Qt::Key_Q) << int(Qt::AltModifier) << u""_s << 0;
        QTest::newRow("F1 shows help") << int(Qt::Key_F1) << 0 << u""_s << 1;
    }
    void keyboard()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, openMenu);
        QFETCH(int, helpShown);
        QTest::keyClick(m_editor->textView(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        if (!openMenu.isEmpty()) {
            QMenu *menu = m_bar->findMenu(openMenu);
            QVERIFY(menu);
            QTRY_VERIFY(menu->isVisible());
            menu->close();
        }
        QCOMPARE(m_delegate.helpShown, helpShown);
        m_delegate.helpShown = 0;
        QCOMPARE(m_editor->textView()->text(), QString());
        QVERIFY(!m_note->isDocumentEdited());
    }

    void mnemonicsAreMarkedOnce()
    {
        QStringList shown;
        for (QAction *action : m_bar->actions())
            shown.append(action->text());
        QCOMPARE(shown, (QStringList{u"&Nolt Nolt"_s, u"&File"_s, u"&Edit"_s, u"&Window"_s, u"&Help"_s}));
        const QList<QMenu *> menus = m_bar->findChildren<QMenu *>();
        for (QMenu *menu : menus) {
            QList<QChar> keys;
            for (QAction *action : menu->actions()) {
                if (action->isSeparator() || action->property("noltnoltWindowListItem").toBool())
                    continue;
                const qsizetype amp = action->text().indexOf(u'&');
                QVERIFY2(amp >= 0, qPrintable(action->text()));
                QVERIFY2(!keys.contains(action->text().at(amp + 1).toLower()), qPrintable(action->text()));
                keys.append(action->text().at(amp + 1).toLower());
            }
        }
    }

    // Each step changes the state the way a user would; the items follow without a menu being opened, so the
    // shortcuts obey the same rule. Expectation: "1" enabled, "0" disabled, in the order of stateItems.
    void itemsKnowTheirState_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("empty note") << QStringList{} << u"00000000"_s;
        QTest::newRow("typed: undo, select all") << QStringList{u"type"_s} << u"00001010"_s;
        QTest::newRow("selection: cut, copy, delete") << QStringList{u"type"_s, u"selectAll"_s} << u"11011010"_s;
        QTest::newRow("undone: redo") << QStringList{u"type"_s, u"undo"_s} << u"00000100"_s;
        QTest::newRow("text on the clipboard: paste") << QStringList{u"clipboard"_s} << u"00100000"_s;
        QTest::newRow("search string: find next") << QStringList{u"type"_s, u"search"_s} << u"00001011"_s;
        // The menu bar takes the focus while the keyboard drives it; the items still speak of the note.
        QTest::newRow("Edit menu opened with Alt+E")
            << QStringList{u"type"_s, u"selectAll"_s, u"altE"_s} << u"11011010"_s;
    }
    void itemsKnowTheirState()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, enabled);
        NoteTextView *view = m_editor->textView();
        auto *tools = m_editor->findChild<TextTools *>();
        QVERIFY(tools);
        for (const QString &step : steps) {
            if (step == u"type")
                QTest::keyClicks(view, u"ab"_s);
            else if (step == u"selectAll")
                view->selectAll();
            else if (step == u"undo")
                view->undo();
            else if (step == u"clipboard")
                QGuiApplication::clipboard()->setText(u"x"_s);
            else if (step == u"search")
                tools->findBar()->searchField()->setText(u"a"_s);
            else if (step == u"altE")
                QTest::keyClick(view, Qt::Key_E, Qt::AltModifier);
        }
        if (!steps.contains(u"altE"_s))
            view->setFocus();
        else
            QTRY_VERIFY(m_bar->findMenu(u"Edit"_s)->isVisible());
        QString state;
        for (const QString &title : stateItems) {
            QAction *item = itemTitled(m_bar, title);
            QVERIFY2(item, qPrintable(title));
            state += item->isEnabled() ? u'1' : u'0';
        }
        QCOMPARE(state, enabled);
    }

    // Zoom changes every note window at once, within bounds, and is remembered.
    void zoom()
    {
        TextZoom &zoom = TextZoom::shared();
        zoom.reset();
        auto other = NoteFixture::openNote(m_dir.filePath(u"note.txt"_s));
        NoteTextView *otherView = NoteFixture::editorOf(*other)->textView();
        const int start = zoom.pointSize();
        QTest::keyClick(m_editor->window(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(m_editor->window(), Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(zoom.pointSize(), start + 2);
        QCOMPARE(otherView->font().pointSize(), start + 2);
        QTest::keyClick(m_editor->window(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(m_editor->textView()->font().pointSize(), start + 1);
        QCOMPARE(QSettings().value(u"TextPointSize"_s).toInt(), start + 1);
        for (int i = 0; i < 100; ++i)
            zoom.zoomOut();
        QCOMPARE(zoom.pointSize(), TextZoom::minimumPointSize);
        QTest::keyClick(m_editor->window(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(otherView->font().pointSize(), TextZoom::defaultPointSize);
        other->close();
    }

    // Each paragraph stands where its own first strong letter says; the note's text is untouched.
    void rightToLeftParagraphs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sides");
        QTest::newRow("Hebrew") << u"שלום עולם"_s << u"R"_s;
        QTest::newRow("Arabic") << u"مرحبا بالعالم"_s << u"R"_s;
        QTest::newRow("Latin") << u"hello world"_s << u"L"_s;
        QTest::newRow("digits, then Hebrew") << u"12 שלום"_s << u"R"_s;
        QTest::newRow("mixed paragraphs") << u"hello\nשלום\nworld"_s << u"LRL"_s;
    }
    void rightToLeftParagraphs()
    {
        QFETCH(QString, text);
        QFETCH(QString, sides);
        NoteTextView *view = m_editor->textView();
        view->setText(text);
        const int middle = view->viewport()->width() / 2;
        QString shown;
        for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next()) {
            view->document()->documentLayout()->blockBoundingRect(block); // lays the paragraph out
            const QRectF line = block.layout()->lineAt(0).naturalTextRect();
            shown += line.left() > middle ? u'R' : u'L';
        }
        QCOMPARE(shown, sides);
        QCOMPARE(view->text(), text);
    }
};

QTEST_MAIN(TestLinuxDesktop)
#include "tst_linuxdesktop.moc"
