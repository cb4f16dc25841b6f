// Another program changes an open note: each change reloads an unedited note, and typing on either side is kept.
#include "support/testsupport.h"

#include "editor/editor.h"
#include "editor/notetextview.h"
#include "framework/fileidentity.h"
#include "storage/plaintextdocument.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace TestSupport;

namespace {

const QString typeName = QString::fromLatin1(PlainTextDocument::typeName);
const QByteArray fox = "The quick brown fox\njumps over the lazy dog\n";

// A note opened as the app opens it: read, one editor, shown.
struct OpenNote
{
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<PlainTextDocument> document;
    Editor *editor = nullptr;
    int asked = 0; // how often the user was asked which version to keep

    explicit OpenNote(const QByteArray &bytes)
    {
        path = dir.filePath(QStringLiteral("note.txt"));
        writeBytes(path, bytes);
        document = std::make_unique<PlainTextDocument>();
        document->setFileUrl(QUrl::fromLocalFile(path));
        document->readFromUrl(document->fileUrl(), typeName);
        document->makeWindowControllers();
        document->showWindows();
        editor = qobject_cast<Editor *>(document->windowControllers().first());
    }
    ~OpenNote()
    {
        document->close();
        Document::setConflictResolver({});
    }
    // The user's answer whenever both the window and the file changed.
    void answer(bool keepMine)
    {
        Document::setConflictResolver([this, keepMine](Document *) {
            ++asked;
            return keepMine ? Document::Conflict::KeepMine : Document::Conflict::UseDisk;
        });
    }
    NoteTextView *view() const { return editor->textView(); }
    // Another program's shell command, run in the note's folder with $N naming the note.
    void other(const QString &script) const
    {
        const Run result =
            run(QStringLiteral("sh"), {QStringLiteral("-ec"), script}, {}, {QStringLiteral("N=") + path});
        QVERIFY2(result.exitCode == 0, result.err.constData());
    }
    void type(const QString &text) const
    {
        view()->setSelectedRange({view()->textLength(), 0});
        QTest::keyClicks(view(), text);
    }
    bool typedAndSaved(const QString &text) const
    {
        type(text);
        QSignalSpy saved(document.get(), &Document::documentEditedChanged);
        return document->isDocumentEdited() && saved.wait(5000) && !document->isDocumentEdited();
    }
};

} // namespace

class TestExternalChanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The editor remembers its frame; not in the user's own settings.
        QStandardPaths::setTestModeEnabled(true);
    }

    void everyChangeReloadsAndKeepsTheSelection_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("selection"); // location and length after each step, in turn

        QTest::newRow("replaced by rename three times")
            << QStringList{"printf 'one\\n' > .x; mv .x \"$N\"", "printf 'two two\\n' > .x; mv .x \"$N\"",
                           "printf 'The quick three\\n' > .x; mv .x \"$N\""}
            << QStringList{"one\n", "two two\n", "The quick three\n"} << QList<int>{4, 0, 4, 0, 4, 0};
        QTest::newRow("appended to") << QStringList{"printf 'and more\\n' >> \"$N\""}
                                     << QStringList{QString::fromUtf8(fox) + "and more\n"} << QList<int>{4, 5};
        QTest::newRow("truncated, then emptied") << QStringList{"truncate -s 6 \"$N\"", "truncate -s 0 \"$N\""}
                                                 << QStringList{"The qu", ""} << QList<int>{4, 2, 0, 0};
        QTest::newRow("sed -i, twice") << QStringList{"sed -i 's/quick/slow/' \"$N\"",
                                                      "sed -i 's/slow/very slow/' \"$N\""}
                                       << QStringList{"The slow brown fox\njumps over the lazy dog\n",
                                                      "The very slow brown fox\njumps over the lazy dog\n"}
                                       << QList<int>{4, 5, 4, 5};
    }

    void everyChangeReloadsAndKeepsTheSelection()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, selection);
        OpenNote note(fox);
        note.view()->setSelectedRange({4, 5}); // "quick"
        QSignalSpy reloaded(note.document.get(), &Document::reloadedFromDisk);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            note.other(steps.at(i));
            // The watch follows the note across every replacement, so each step is seen.
            QTRY_COMPARE(note.view()->text(), texts.at(i));
            QCOMPARE(reloaded.count(), int(i + 1));
            QCOMPARE(note.view()->selectedRange(), (NoteTextView::Range{selection.at(2 * i), selection.at(2 * i + 1)}));
            QVERIFY(!note.document->isDocumentEdited());
        }
        // Typing after the last reload lands in the file, not in a stale copy.
        QVERIFY(note.typedAndSaved(QStringLiteral("!")));
        QCOMPARE(QString::fromUtf8(readBytes(note.path)), texts.last() + u'!');
    }

    void ownSavesNeverReload()
    {
        OpenNote note(fox);
        QSignalSpy reloaded(note.document.get(), &Document::reloadedFromDisk);
        for (const QString &word : {QStringLiteral(" one"), QStringLiteral(" two"), QStringLiteral(" three")})
            QVERIFY(note.typedAndSaved(word));
        QCOMPARE(note.view()->selectedRange(), (NoteTextView::Range{note.view()->textLength(), 0}));
        QVERIFY(!QTest::qWaitFor([&] { return reloaded.count() > 0; }, 500));
        // A reload would have replaced the text and its history.
        QVERIFY(note.view()->document()->isUndoAvailable());
    }

    void unsavedTypingMeetsAnotherVersion_data()
    {
        QTest::addColumn<bool>("keepMine");
        QTest::addColumn<bool>("saveAtOnce");
        QTest::newRow("watcher asks, keep mine") << true << false;
        QTest::newRow("watcher asks, use theirs") << false << false;
        QTest::newRow("save right after their change checks first, keep mine") << true << true;
        QTest::newRow("save right after their change checks first, use theirs") << false << true;
    }

    void unsavedTypingMeetsAnotherVersion()
    {
        QFETCH(bool, keepMine);
        QFETCH(bool, saveAtOnce);
        OpenNote note(fox);
        note.answer(keepMine);
        note.type(QStringLiteral("mine"));
        note.other(QStringLiteral("sed -i 's/quick/slow/' \"$N\""));
        const QByteArray theirs = QByteArray(fox).replace("quick", "slow");
        if (saveAtOnce) // before the watcher has said a word: the save itself must look at the file again
            note.document->saveDocument(nullptr);
        QTRY_COMPARE(note.asked, 1);
        const QByteArray kept = keepMine ? fox + "mine" : theirs;
        QTRY_COMPARE(readBytes(note.path), kept);
        QTRY_COMPARE(note.view()->text(), QString::fromUtf8(kept)); // the answer comes from the event loop
        QTRY_VERIFY(!note.document->isDocumentEdited());
        QVERIFY(!QTest::qWaitFor([&] { return note.asked > 1; }, 500));
        QCOMPARE(readBytes(note.path), kept);
    }

    void sameSizeAndTimeIsStillNoticed()
    {
        // touch -d puts the old modification time back; the change time and the content still differ.
        OpenNote note(fox);
        const FileIdentity before = FileIdentity::of(note.path);
        note.other(QStringLiteral("T=$(stat -c %.9Y \"$N\"); printf 'The QUICK brown fox\\njumps over the lazy "
                                  "dog\\n' > \"$N\"; touch -d \"@$T\" \"$N\""));
        const FileIdentity after = FileIdentity::of(note.path);
        QCOMPARE(after.size, before.size);
        QCOMPARE(after.modifiedNs, before.modifiedNs);
        QTRY_COMPARE(note.view()->text(), QStringLiteral("The QUICK brown fox\njumps over the lazy dog\n"));
    }

    void deletedOrMovedAway_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("deleted") << "rm \"$N\"";
        QTest::newRow("moved to another folder") << "mkdir -p elsewhere && mv \"$N\" elsewhere/";
        QTest::newRow("renamed in its folder") << "mv \"$N\" renamed.txt";
    }

    void deletedOrMovedAway()
    {
        QFETCH(QString, how);
        OpenNote note(fox);
        QSignalSpy told(note.editor, &WindowController::errorPresented);
        note.other(QStringLiteral("cd \"$(dirname \"$N\")\"; ") + how);
        QTRY_COMPARE(told.count(), 1);
        const QString message = told.first().first().value<Error>().description();
        QVERIFY2(message.contains(u"“note.txt” was moved or deleted"), qPrintable(message));
        QCOMPARE(note.view()->text(), QString::fromUtf8(fox));
        QVERIFY(note.document->isDocumentEdited());
        // The next save puts the text back where it was, with what was typed since.
        QVERIFY(note.typedAndSaved(QStringLiteral("again")));
        QCOMPARE(readBytes(note.path), fox + "again");
        QVERIFY(!QTest::qWaitFor([&] { return told.count() > 1; }, 300));
    }

    void bytesThatAreNotUtf8_data()
    {
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("asked, keeps their bytes") << false;
        QTest::newRow("asked, writes the window's text") << true;
    }

    void bytesThatAreNotUtf8()
    {
        QFETCH(bool, overwrite);
        OpenNote note(fox);
        note.answer(overwrite);
        QSignalSpy told(note.editor, &WindowController::errorPresented);
        note.other(QStringLiteral("printf 'caf\\351 latin-1\\n' > \"$N\""));
        const QByteArray theirs = "caf\xe9 latin-1\n";
        QTRY_COMPARE(told.count(), 1);
        QCOMPARE(told.first().first().value<Error>().description(),
                 QStringLiteral("This file is not UTF-8 plain text."));
        QCOMPARE(note.view()->text(), QString::fromUtf8(fox));
        QVERIFY(!QTest::qWaitFor([&] { return told.count() > 1; }, 300));

        note.type(QStringLiteral("typed"));
        QTRY_COMPARE(note.asked, 1);
        QVERIFY(!QTest::qWaitFor([&] { return note.asked > 1; }, 1500));
        QCOMPARE(readBytes(note.path), overwrite ? fox + "typed" : theirs);
        QCOMPARE(note.view()->text(), QString::fromUtf8(fox + "typed"));
    }
};

QTEST_MAIN(TestExternalChanges)
#include "tst_externalchanges.moc"
