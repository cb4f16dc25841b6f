#include "editor/notefixture.h"
#include "editor/textzoom.h"
#include "editor/actiondispatcher.h"
#include "shell/menubar.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// The items whose state follows the text.
const QStringList stateItems{u"Cut"_s,  u"Copy"_s, u"Paste"_s,      u"Delete"_s,
                             u"Undo"_s, u"Redo"_s, u"Select All"_s, u"Find Next"_s};

} // namespace

class TestLinuxDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ActionDispatcher m_dispatcher;
    TextZoom m_zoom;
    std::unique_ptr<PlainTextDocument> m_note;
    Editor *m_editor = nullptr;
    MenuBar *m_bar = nullptr;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        const QString path = m_dir.filePath(u"note.txt"_s);
        TestSupport::writeBytes(path, {});
        m_note = NoteFixture::openNote(path, {.dispatcher = &m_dispatcher, .zoom = &m_zoom});
        m_editor = NoteFixture::editorOf(*m_note);
        QVERIFY(m_editor);
        m_bar = new MenuBar(m_dispatcher, m_editor->window());
        m_editor->setMenuBar(m_bar);
        m_editor->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_editor->window()));
        m_editor->textView()->setFocus();
    }
    void cleanup()
    {
        m_note->close();
        m_note.reset();
    }

    // The menu bar takes the focus while the keyboard drives it (Alt+E opens Edit without typing into the note); the
    // items still follow the note's state, in the order of stateItems ("1" enabled).
    void itemsKnowTheirStateWhileTheMenuHasFocus()
    {
        NoteTextView *view = m_editor->textView();
        QTest::keyClicks(view, u"ab"_s);
        view->selectAll();
        QTest::keyClick(view, Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(m_bar->findMenu(u"Edit"_s)->isVisible());
        QMap<QString, bool> enabled;
        for (const QAction *item : m_bar->findChildren<QAction *>())
            enabled.insert(item->property("noltnoltTableTitle").toString(), item->isEnabled());
        QString state;
        for (const QString &title : stateItems)
            state += !enabled.contains(title) ? u'?' : enabled.value(title) ? u'1' : u'0';
        QCOMPARE(state, u"11011010"_s);
    }

    // Zoom changes every note window at once, within bounds, and is remembered.
    void zoom()
    {
        TextZoom &zoom = m_zoom;
        zoom.reset();
        auto other =
            NoteFixture::openNote(m_dir.filePath(u"note.txt"_s), {.dispatcher = &m_dispatcher, .zoom = &m_zoom});
        NoteTextView *otherView = NoteFixture::editorOf(*other)->textView();
        const int start = zoom.pointSize();
        QTest::keyClick(m_editor->window(), Qt::Key_Equal, Qt::ControlModifier);
        QTest::keyClick(m_editor->window(), Qt::Key_Equal, Qt::ControlModifier);
        QTest::keyClick(m_editor->window(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(otherView->font().pointSize(), start + 1);
        QCOMPARE(QSettings().value(u"TextPointSize"_s).toInt(), start + 1);
        for (int i = 0; i < 100; ++i)
            zoom.zoomOut();
        QCOMPARE(zoom.pointSize(), TextZoom::minimumPointSize);
        QTest::keyClick(m_editor->window(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(otherView->font().pointSize(), TextZoom::defaultPointSize);
        other->close();
    }
};

QTEST_MAIN(TestLinuxDesktop)
#include "tst_linuxdesktop.moc"
