#include "support/testsupport.h"

#include "editor/editor.h"
#include "editor/notetextview.h"
#include "storage/plaintextdocument.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <memory>

#include <unistd.h>

using namespace TestSupport;

namespace {

const QString typeName = QString::fromLatin1(PlainTextDocument::typeName);

QString shownCount(const Editor *editor)
{
    const QList<QLabel *> labels = editor->window()->findChildren<QLabel *>();
    for (const QLabel *label : labels) {
        if (label->accessibleName() == u"Word count")
            return label->text();
    }
    return {};
}

Editor *editorOf(const PlainTextDocument &note)
{
    const QList<WindowController *> controllers = note.windowControllers();
    return controllers.isEmpty() ? nullptr : qobject_cast<Editor *>(controllers.first());
}

// Opens the note at path the way the app does: read, one editor, shown.
std::unique_ptr<PlainTextDocument> openNote(const QString &path)
{
    auto note = std::make_unique<PlainTextDocument>();
    note->setFileUrl(QUrl::fromLocalFile(path));
    note->readFromUrl(note->fileUrl(), typeName);
    note->makeWindowControllers();
    note->showWindows();
    return note;
}

void typeAtEnd(NoteTextView *view, const QString &text)
{
    view->setSelectedRange({view->textLength(), 0});
    QTest::keyClicks(view, text);
}

// A folder in which nobody can make a file, root included (root ignores permission bits, not the immutable
// flag). Its files stay as they are, so no program sees a change on disk.
class LockedFolder
{
public:
    explicit LockedFolder(const QString &path)
        : m_path(path)
    {
        if (::geteuid() != 0)
            m_locked = QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        else
            m_locked = run(QStringLiteral("chattr"), {QStringLiteral("+i"), path}).exitCode == 0;
    }
    ~LockedFolder()
    {
        if (!m_locked)
            return;
        if (::geteuid() != 0)
            QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        else
            run(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
    }
    bool isLocked() const { return m_locked; }

private:
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
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("filePath");
        QTest::newRow("no file: New Note") << QUrl() << QStringLiteral("New Note") << QString();
        QTest::newRow("note: extension removed")
            << QUrl::fromLocalFile(QStringLiteral("/notes/20261014 Note 2.txt")) << QStringLiteral("20261014 Note 2")
            << QStringLiteral("/notes/20261014 Note 2.txt");
        QTest::newRow("no extension: name whole") << QUrl::fromLocalFile(QStringLiteral("/notes/README"))
                                                  << QStringLiteral("README") << QStringLiteral("/notes/README");
        QTest::newRow("two extensions: only the last goes")
            << QUrl::fromLocalFile(QStringLiteral("/notes/a.b.txt")) << QStringLiteral("a.b")
            << QStringLiteral("/notes/a.b.txt");
    }

    void firstTitle()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, title);
        QFETCH(QString, filePath);
        Editor editor(url, QString());
        QCOMPARE(editor.window()->windowTitle(), title);
        QCOMPARE(editor.window()->windowFilePath(), filePath);
    }

    void titleForDisplayName_data()
    {
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("title");
        QTest::newRow("removes: .txt") << QStringLiteral("20261014 Note.txt") << QStringLiteral("20261014 Note");
        QTest::newRow("keeps: name without a dot")
            << QStringLiteral("20261014 Note") << QStringLiteral("20261014 Note");
        QTest::newRow("removes: any last dot-suffix") << QStringLiteral("Budget 2.5") << QStringLiteral("Budget 2");
        QTest::newRow("removes: only the last extension") << QStringLiteral("a.b.txt") << QStringLiteral("a.b");
        QTest::newRow("keeps: hidden file name") << QStringLiteral(".notes") << QStringLiteral(".notes");
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
        QTest::newRow("empty: 0") << QString() << QStringLiteral("0");
        QTest::newRow("two words: 2, not the first 0") << QStringLiteral("two words") << QStringLiteral("2");
        QTest::newRow("1234 words: no separator") << QStringLiteral("word ").repeated(1234) << QStringLiteral("1234");
    }

    void countsTheTextItOpensWith()
    {
        QFETCH(QString, text);
        QFETCH(QString, count);
        Editor editor(QUrl(), text);
        QCOMPARE(shownCount(&editor), count);
        QCOMPARE(editor.textView()->text(), text);
    }

    void opensWithTheTextFocused()
    {
        Editor editor(QUrl(), QStringLiteral("x"));
        editor.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(editor.window()));
        QCOMPARE(editor.window()->size(), QSize(780, 600));
        QCOMPARE(editor.window()->minimumSize(), QSize(360, 240));
        QCOMPARE(editor.window()->objectName(), QStringLiteral("QuorbellDocument"));
        QTRY_VERIFY(editor.textView()->hasFocus());
    }

    void burstOfEditsSavesOnceAfterTheLast()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("20261014 Note.txt"));
        writeBytes(path, QByteArrayLiteral("Start"));
        const auto note = openNote(path);
        Editor *editor = editorOf(*note);
        QSignalSpy saves(editor, &Editor::autosaveRequested);
        QCOMPARE(editor->pendingSave(), nullptr);

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
            typeAtEnd(editor->textView(), QStringLiteral("!"));
            QCOMPARE(saves.count(), 0);
            QVERIFY(note->isDocumentEdited());
            QCOMPARE(note->text(), QStringLiteral("Start") + QString(++edits, u'!'));
            if (edits == 5)
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
        QTRY_COMPARE(readBytes(path), QByteArrayLiteral("Start!!!!!"));
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
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Undo.txt"));
        writeBytes(path, QByteArrayLiteral("one"));
        const auto note = openNote(path);
        NoteTextView *view = editorOf(*note)->textView();
        typeAtEnd(view, QStringLiteral(" two"));
        QVERIFY(view->document()->isUndoAvailable());
        view->undo();
        QCOMPARE(view->text(), QStringLiteral("one"));
    }

    void failedAutosaveIsPresentedOnce()
    {
        QTemporaryDir home;
        const QString folder = home.filePath(QStringLiteral("Notes"));
        QVERIFY(QDir().mkdir(folder));
        const QString path = folder + QStringLiteral("/Doomed.txt");
        writeBytes(path, QByteArrayLiteral("text"));
        const auto note = openNote(path);
        Editor *editor = editorOf(*note);
        QSignalSpy saves(editor, &Editor::autosaveRequested);
        QSignalSpy presented(editor, &WindowController::errorPresented);
        const LockedFolder locked(folder);
        if (!locked.isLocked())
            QSKIP("cannot make a folder unwritable here: chattr +i needs ext2/3/4 or similar and CAP_LINUX_IMMUTABLE");

        typeAtEnd(editor->textView(), QStringLiteral(" more"));
        QVERIFY(presented.wait(5000));
        const auto error = presented.first().first().value<Error>();
        QVERIFY2(error.description().contains(QStringLiteral("Doomed.txt")), qPrintable(error.description()));
        QVERIFY(!presented.wait(Editor::saveDelayMs * 2));
        QCOMPARE(saves.count(), 1);
        QCOMPARE(presented.count(), 1);
        QCOMPARE(editor->textView()->text(), QStringLiteral("text more"));
        QCOMPARE(readBytes(path), QByteArrayLiteral("text"));
    }

    void closingRightAfterAnEditKeepsIt()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Quick.txt"));
        writeBytes(path, QByteArrayLiteral("text"));
        const auto note = openNote(path);
        Editor *editor = editorOf(*note);
        typeAtEnd(editor->textView(), QStringLiteral(" kept"));
        QVERIFY(editor->pendingSave()->isActive());
        QVERIFY(editor->window()->close());
        QCOMPARE(readBytes(path), QByteArrayLiteral("text kept"));
    }

    void changeByAnotherProgramReachesTheEditor()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Shared.txt"));
        writeBytes(path, QByteArrayLiteral("One two\nThree four"));
        const auto note = openNote(path);
        NoteTextView *view = editorOf(*note)->textView();
        view->setSelectedRange({4, 3});
        writeBytes(path, QByteArrayLiteral("One two\nThree four five"));
        QTRY_COMPARE(view->text(), QStringLiteral("One two\nThree four five"));
        QCOMPARE(view->selectedRange(), (NoteTextView::Range{4, 3}));
        QCOMPARE(shownCount(editorOf(*note)), QStringLiteral("5"));
        QVERIFY(!note->isDocumentEdited());
    }

    void closedEditorIsNeverCalledBack()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Gone.txt"));
        writeBytes(path, QByteArrayLiteral("text"));
        auto note = openNote(path);
        typeAtEnd(editorOf(*note)->textView(), QStringLiteral("!"));
        QPointer<QTimer> timer = editorOf(*note)->pendingSave();
        QVERIFY(timer && timer->isActive());
        note.reset();
        QVERIFY(!timer);
    }

    void firstOpenWindowGetsTheRememberedFrame()
    {
        QSettings().remove(QStringLiteral("EditorWindow"));
        {
            Editor first{QUrl(), QString()};
            first.showWindow();
            QVERIFY(QTest::qWaitForWindowExposed(first.window()));
            first.window()->resize(500, 400);
            first.window()->close();
        }
        QVERIFY(QSettings().contains(QStringLiteral("EditorWindow")));

        Editor reopened{QUrl(), QString()};
        reopened.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(reopened.window()));
        QCOMPARE(reopened.window()->size(), QSize(500, 400));

        Editor alongside{QUrl(), QString()};
        alongside.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(alongside.window()));
        QCOMPARE(alongside.window()->size(), QSize(780, 600));
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
