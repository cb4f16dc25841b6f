#include "editor/notefixture.h"
#include "framework/autosave.h"
#include "shell/documentcontroller.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

using namespace NoteFixture;
using namespace TestSupport;

class TestEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setOrganizationName(QStringLiteral("Quorbell"));
        QApplication::setApplicationName(QStringLiteral("Nolt Nolt tests"));
    }

    void burstOfEditsSavesOnceAfterTheLast()
    {
        // Opened as the app opens notes, through the document controller: no other scheduler may add a write. The
        // note has a folder of its own, away from the controller's settings.
        QTemporaryDir home;
        const QString path = home.filePath(QStringLiteral("Notes/Note.txt"));
        QDir().mkpath(home.filePath(QStringLiteral("Notes")));
        writeBytes(path, "Start");
        DocumentController controller([] { return new PlainTextDocument(&TestNotes::services()); },
                                      [](Document *opened) { Editor::openFor(opened); },
                                      home.filePath(QStringLiteral("settings.ini")));
        Editor *editor = nullptr;
        controller.openDocument(QUrl::fromLocalFile(path), true, [&editor](Document *opened, bool, const auto &) {
            editor = editorOf(*qobject_cast<PlainTextDocument *>(opened));
        });
        QTRY_VERIFY(editor);
        QSignalSpy saves(editor->document(), &Document::autosaveRequested);
        QSignalSpy writes(editor->document(), &Document::saved);
        QCOMPARE(editor->document()->pendingSave(), nullptr);
        // Five keystrokes 100 ms apart; the event loop runs between them.
        QElapsedTimer clock;
        clock.start();
        qint64 lastEdit = 0;
        for (int edit = 0; edit < 5; ++edit) {
            QTest::qWait(100);
            if (edit > 0 && clock.elapsed() - lastEdit >= AutoSave::delayMs)
                QSKIP("the machine was too busy to type 100 ms apart");
            lastEdit = clock.elapsed();
            typeAtEnd(editor->textView(), QStringLiteral("!"));
            QCOMPARE(writes.count(), 0);
            QVERIFY(editor->document()->isDocumentEdited());
        }
        QVERIFY(saves.wait(5000));
        const qint64 saveDelay = clock.elapsed() - lastEdit;
        QVERIFY2(saveDelay >= AutoSave::delayMs, QByteArray::number(saveDelay).constData());
        // Typing is saved 0.3 s after the last keystroke: a busy machine may be late, never seconds late.
        QVERIFY2(saveDelay < 2000, QByteArray::number(saveDelay).constData());
        QTRY_COMPARE(readBytes(path), QByteArrayLiteral("Start!!!!!"));
        QVERIFY(!saves.wait(AutoSave::delayMs * 2));
        QCOMPARE(saves.count(), 1);
        QCOMPARE(writes.count(), 1);
    }

    void closingRightAfterAnEditKeepsIt()
    {
        ShownNote n("text");
        typeAtEnd(n.view, QStringLiteral(" kept"));
        QVERIFY(n.note->pendingSave()->isActive());
        QVERIFY(n.editor->window()->close());
        QCOMPARE(readBytes(n.path), QByteArrayLiteral("text kept"));
    }

    void closedEditorIsNeverCalledBack()
    {
        ShownNote n("text");
        typeAtEnd(n.view, QStringLiteral("!"));
        QPointer<QTimer> timer = n.note->pendingSave();
        QVERIFY(timer && timer->isActive());
        n.note.reset();
        QVERIFY(!timer);
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
