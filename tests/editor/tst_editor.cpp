#include "support/testsupport.h"

#include "editor/notefixture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <unistd.h>

using namespace NoteFixture;
using namespace TestSupport;

namespace {

// A note file in a folder of its own (so the folder can be locked), opened in its editor.
struct OpenedNote
{
    QTemporaryDir home;
    QString folder = home.filePath(QStringLiteral("Notes"));
    QString path = folder + QStringLiteral("/Note.txt");
    std::unique_ptr<PlainTextDocument> note;
    Editor *editor = nullptr;

    explicit OpenedNote(const QByteArray &bytes)
    {
        QDir().mkdir(folder);
        writeBytes(path, bytes);
        note = openNote(path);
        editor = editorOf(*note);
    }
    NoteTextView *view() const { return editor->textView(); }
};

// A folder in which nobody can make a file, root included (root ignores permission bits, not the immutable
// flag). Its files stay as they are, so no program sees a change on disk.
class LockedFolder
{
public:
    explicit LockedFolder(const QString &path)
        : m_path(path)
    {
        m_locked = lock(true);
    }
    ~LockedFolder()
    {
        if (m_locked)
            lock(false);
    }
    bool isLocked() const { return m_locked; }

private:
    bool lock(bool on) const
    {
        if (::geteuid() == 0)
            return run(QStringLiteral("chattr"), {on ? QStringLiteral("+i") : QStringLiteral("-i"), m_path}).exitCode ==
                   0;
        return QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                 (on ? QFileDevice::Permissions() : QFileDevice::WriteOwner));
    }
    QString m_path;
    bool m_locked = false;
};

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setOrganizationName(QStringLiteral("Quorbell"));
        QApplication::setApplicationName(QStringLiteral("Nolt Nolt tests"));
        QSettings().remove(QStringLiteral("EditorWindow"));
    }

    void firstTitle_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("no file: New Note") << QString() << "New Note";
        QTest::newRow("note: extension removed") << "/notes/20261014 Note 2.txt"
                                                 << "20261014 Note 2";
        QTest::newRow("no extension: name whole") << "/notes/README"
                                                  << "README";
        QTest::newRow("two extensions: only the last goes") << "/notes/a.b.txt"
                                                            << "a.b";
    }

    void firstTitle()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        Editor editor(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path), QString());
        QCOMPARE(editor.window()->windowTitle(), title);
        QCOMPARE(editor.window()->windowFilePath(), path);
    }

    void titleForDisplayName_data()
    {
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("title");
        QTest::newRow("removes: .txt") << "20261014 Note.txt"
                                       << "20261014 Note";
        QTest::newRow("keeps: name without a dot") << "20261014 Note"
                                                   << "20261014 Note";
        QTest::newRow("removes: any last dot-suffix") << "Budget 2.5"
                                                      << "Budget 2";
        QTest::newRow("removes: only the last extension") << "a.b.txt"
                                                          << "a.b";
        QTest::newRow("keeps: hidden file name") << ".notes"
                                                 << ".notes";
    }

    void titleForDisplayName()
    {
        QFETCH(QString, displayName);
        QFETCH(QString, title);
        const Editor editor{QUrl(), QString()};
        QCOMPARE(editor.windowTitle(displayName), title);
    }

    void countsTheTextItOpensWith_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("count");
        QTest::newRow("empty: 0") << QString() << "0";
        QTest::newRow("two words: 2, not the first 0") << "two words"
                                                       << "2";
        QTest::newRow("1234 words: no separator") << QStringLiteral("word ").repeated(1234) << "1234";
        QTest::newRow("one long line") << QStringLiteral("word ").repeated(5000) << "5000";
        QTest::newRow("big note, counted as it comes into view")
            << QStringLiteral("two words\n").repeated(20000) << "40000";
    }

    void countsTheTextItOpensWith()
    {
        QFETCH(QString, text);
        QFETCH(QString, count);
        Editor editor(QUrl(), text);
        QCOMPARE(editor.textView()->text(), text);
        QTRY_COMPARE(shownCount(&editor), count);
        QCOMPARE(editor.textView()->text(), text);
    }

    void burstOfEditsSavesOnceAfterTheLast()
    {
        OpenedNote n(QByteArrayLiteral("Start"));
        QSignalSpy saves(n.editor, &Editor::autosaveRequested);
        QCOMPARE(n.editor->pendingSave(), nullptr);
        // Five keystrokes 100 ms apart, driven by the event loop.
        int edits = 0;
        QElapsedTimer clock;
        qint64 lastEdit = 0;
        qint64 longestGap = 0;
        QTimer typist;
        typist.setInterval(100);
        connect(&typist, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - lastEdit);
            lastEdit = clock.elapsed();
            typeAtEnd(n.view(), QStringLiteral("!"));
            QCOMPARE(saves.count(), 0);
            QVERIFY(n.note->isDocumentEdited());
            if (++edits == 5)
                typist.stop();
        });
        clock.start();
        typist.start();
        QTRY_COMPARE(edits, 5);
        if (longestGap >= Editor::saveDelayMs)
            QSKIP("the machine was too busy to type 100 ms apart");
        QVERIFY(saves.wait(5000));
        const qint64 saveDelay = clock.elapsed() - lastEdit;
        QVERIFY2(saveDelay >= Editor::saveDelayMs, QByteArray::number(saveDelay).constData());
        QTRY_COMPARE(readBytes(n.path), QByteArrayLiteral("Start!!!!!"));
        QVERIFY(!saves.wait(Editor::saveDelayMs * 2));
        QCOMPARE(saves.count(), 1);
    }

    void withoutDocumentOnlyCounts()
    {
        Editor editor(QUrl(), QStringLiteral("one"));
        QSignalSpy saves(&editor, &Editor::autosaveRequested);
        typeAtEnd(editor.textView(), QStringLiteral(" two three"));
        QCOMPARE(shownCount(&editor), QStringLiteral("3"));
        QCOMPARE(editor.pendingSave(), nullptr);
        QVERIFY(!editor.textView()->document()->isUndoAvailable());
        QVERIFY(!saves.wait(Editor::saveDelayMs * 2));
    }

    void editsOfANoteCanBeUndone()
    {
        OpenedNote n(QByteArrayLiteral("one"));
        typeAtEnd(n.view(), QStringLiteral(" two"));
        n.view()->undo();
        QCOMPARE(n.view()->text(), QStringLiteral("one"));
    }

    void failedAutosaveIsPresentedOnce()
    {
        OpenedNote n(QByteArrayLiteral("text"));
        QSignalSpy saves(n.editor, &Editor::autosaveRequested);
        QSignalSpy presented(n.editor, &WindowController::errorPresented);
        const LockedFolder locked(n.folder);
        if (!locked.isLocked())
            QSKIP("cannot make a folder unwritable here: chattr +i needs ext2/3/4 or similar and CAP_LINUX_IMMUTABLE");
        typeAtEnd(n.view(), QStringLiteral(" more"));
        QVERIFY(presented.wait(5000));
        const auto error = presented.first().first().value<Error>();
        QVERIFY2(error.description().contains(QStringLiteral("Note.txt")), qPrintable(error.description()));
        QVERIFY(!presented.wait(Editor::saveDelayMs * 2));
        QCOMPARE(saves.count(), 1);
        QCOMPARE(presented.count(), 1);
        QCOMPARE(n.view()->text(), QStringLiteral("text more"));
        QCOMPARE(readBytes(n.path), QByteArrayLiteral("text"));
    }

    void closingRightAfterAnEditKeepsIt()
    {
        OpenedNote n(QByteArrayLiteral("text"));
        typeAtEnd(n.view(), QStringLiteral(" kept"));
        QVERIFY(n.editor->pendingSave()->isActive());
        QVERIFY(n.editor->window()->close());
        QCOMPARE(readBytes(n.path), QByteArrayLiteral("text kept"));
    }

    void changeByAnotherProgramReachesTheEditor()
    {
        OpenedNote n(QByteArrayLiteral("One two\nThree four"));
        n.view()->setSelectedRange({4, 3});
        writeBytes(n.path, QByteArrayLiteral("One two\nThree four five"));
        QTRY_COMPARE(n.view()->text(), QStringLiteral("One two\nThree four five"));
        QCOMPARE(n.view()->selectedRange(), (NoteTextView::Range{4, 3}));
        QCOMPARE(shownCount(n.editor), QStringLiteral("5"));
        QVERIFY(!n.note->isDocumentEdited());
    }

    void closedEditorIsNeverCalledBack()
    {
        OpenedNote n(QByteArrayLiteral("text"));
        typeAtEnd(n.view(), QStringLiteral("!"));
        QPointer<QTimer> timer = n.editor->pendingSave();
        QVERIFY(timer && timer->isActive());
        n.note.reset();
        QVERIFY(!timer);
    }

    void firstOpenWindowGetsTheRememberedFrame()
    {
        QSettings().remove(QStringLiteral("EditorWindow"));
        const auto shown = [](Editor &editor) {
            editor.showWindow();
            return QTest::qWaitForWindowExposed(editor.window());
        };
        {
            Editor first{QUrl(), QStringLiteral("x")};
            QVERIFY(shown(first));
            QCOMPARE(first.window()->size(), QSize(780, 600));
            QCOMPARE(first.window()->minimumSize(), QSize(360, 240));
            QCOMPARE(first.window()->objectName(), QStringLiteral("QuorbellDocument"));
            QTRY_VERIFY(first.textView()->hasFocus());
            first.window()->resize(500, 400);
            first.window()->close();
        }
        Editor reopened{QUrl(), QString()};
        QVERIFY(shown(reopened));
        QCOMPARE(reopened.window()->size(), QSize(500, 400));
        // Opened while the first is open, a second editor keeps the default frame.
        Editor alongside{QUrl(), QString()};
        QVERIFY(shown(alongside));
        QCOMPARE(alongside.window()->size(), QSize(780, 600));
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
