#include "editor/notefixture.h"
#include "framework/autosave.h"
#include "framework/posixfile.h"
#include "shell/documentcontroller.h"

#include <QSignalSpy>
#include <QStandardPaths>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace NoteFixture;
using namespace TestSupport;
using Range = NoteTextView::Range;

Q_DECLARE_METATYPE(Range)

namespace {

const QString sampleText = QStringLiteral("Plain text\nUnicode: café 🌱\n\tIndented\n");

} // namespace

class TestPlainTextDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setOrganizationName(QStringLiteral("Quorbell"));
        QApplication::setApplicationName(QStringLiteral("Nolt Nolt tests"));
    }

    // Which bytes are refused is the decoder's differential test; here: a refused reload changes nothing.
    void rejectsIllFormedUtf8()
    {
        const QByteArray bytes = sampleText.toUtf8().repeated(1000) + "\xFF" + sampleText.toUtf8();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("note.txt"));
        writeBytes(path, bytes);
        PlainTextDocument note;
        NoteTextView *view = readWithEditor(note, sampleText.toUtf8())->textView();
        view->setSelectedRange({8, 3});
        QVERIFY_THROWS_EXCEPTION(Error, TestNotes::read(note, QUrl::fromLocalFile(path)));
        QCOMPARE(view->text(), sampleText);
        QCOMPARE(view->selectedRange(), (Range{8, 3}));
        QCOMPARE(note.text(), sampleText);
    }

    // What the window shows once the note is read, and once another program's version is read in: the selection
    // kept as far as the new text allows, never inside a character, and the words counted. The same note with its
    // accents composed otherwise is not taken in (the view keeps its history); any other difference, however close
    // to a mark or deep in a long note, is.
    void shows_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Range>("selection");
        QTest::addColumn<QString>("reloaded"); // null: not read again
        QTest::addColumn<QString>("expected");
        QTest::addColumn<Range>("kept");
        QTest::addColumn<QString>("count"); // empty: not compared
        const QString longText = u"\u00e9 word "_qs.repeated(5000);
        const Range none{0, 0};
        QTest::newRow("opened: 2 words, not the first 0")
            << "two words" << none << QString() << "two words" << none << "2";
        QTest::newRow("counts UTF-16: one emoji left of two")
            << u"ab🌱🌱cd"_qs << Range{2, 4} << u"ab🌱"_qs << u"ab🌱"_qs << Range{2, 2} << "1";
        QTest::newRow("never inside a character: a letter before the caret became an emoji")
            << u"ab"_qs << Range{1, 0} << u"🌱b"_qs << u"🌱b"_qs << none << "1";
        QTest::newRow("same: accent composed otherwise")
            << u"caf\u00e9 au lait"_qs << Range{6, 2} << u"cafe\u0301 au lait"_qs << u"caf\u00e9 au lait"_qs
            << Range{6, 2} << "3";
        QTest::newRow("differs: another mark on the same letter")
            << u"cafe\u0301"_qs << none << u"cafe\u0300"_qs << u"cafe\u0300"_qs << none << "1";
        QTest::newRow("differs: a mark added after a shared one")
            << u"a\u0301b"_qs << none << u"a\u0301\u0301b"_qs << u"a\u0301\u0301b"_qs << none << "1";
        QTest::newRow("differs: long note, one letter")
            << longText + u"a"_qs + longText << none << longText + u"b"_qs + longText << longText + u"b"_qs + longText
            << none << "";
    }

    void shows()
    {
        QFETCH(QString, shown);
        QFETCH(Range, selection);
        QFETCH(QString, reloaded);
        QFETCH(QString, count);
        PlainTextDocument note;
        Editor *editor = readWithEditor(note, shown.toUtf8());
        editor->textView()->finishLoading();
        editor->textView()->setSelectedRange(selection);
        if (!reloaded.isNull()) {
            note.setText(reloaded);
            editor->textView()->finishLoading();
        }
        QTEST(editor->textView()->text(), "expected");
        QTEST(editor->textView()->selectedRange(), "kept");
        if (!count.isEmpty())
            QTRY_COMPARE(shownCount(editor), count);
    }

    // What is not a note is refused at once with the file named, never waited on or read without end.
    void oddPathsAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        const QString notRegular = QStringLiteral("“odd” in “%1”: it is not a regular file.");
        QTest::newRow("FIFO") << "fifo" << notRegular;
        QTest::newRow("character device") << "/dev/zero" << u"“zero” in “/dev”: it is not a regular file."_qs;
        QTest::newRow("folder") << "folder" << notRegular;
        QTest::newRow("larger than a quarter of free memory") << "huge" << u"“odd” in “%1”: it is too large to open"_qs;
    }

    void oddPathsAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("odd"));
        const QByteArray encoded = QFile::encodeName(path);
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(encoded.constData(), 0600), 0);
        else if (kind == u"folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == u"huge") // sparse: takes no room on disk
            QVERIFY(QFile(path).open(QIODevice::WriteOnly) && QFile(path).resize(PosixFile::readLimit() + 1));
        else
            path = kind;
        PlainTextDocument note;
        try {
            TestNotes::read(note, QUrl::fromLocalFile(path));
            QFAIL("opened");
        } catch (const Error &error) {
            const QString said = error.description() + u'|' + error.informativeText();
            QVERIFY2(said.contains(message.arg(dir.path())), qPrintable(said));
        }
        QCOMPARE(note.text(), QString());
    }

    // Once its window is closed the note keeps the last text the window showed, to write it.
    void keepsTheTextOnceItsWindowCloses()
    {
        PlainTextDocument note;
        typeAtEnd(readWithEditor(note, QByteArrayLiteral("One\r\ntwo"))->textView(), QStringLiteral(" three"));
        note.close();
        note.updateChangeCount(Document::ChangeType::Done);
        QCOMPARE(note.text(), u"One\r\ntwo three"_qs);
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
                                      [](Document *opened, WindowController *) { Editor::openFor(opened); },
                                      home.filePath(QStringLiteral("settings.ini")));
        Editor *editor = nullptr;
        controller.openDocument(QUrl::fromLocalFile(path), true, [&editor](Document *opened, bool, const auto &) {
            editor = editorOf(*qobject_cast<PlainTextDocument *>(opened));
        });
        QTRY_VERIFY(editor);
        QSignalSpy writes(editor->document(), &Document::saved);
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
        QVERIFY(writes.wait(5000));
        const qint64 saveDelay = clock.elapsed() - lastEdit;
        QVERIFY2(saveDelay >= AutoSave::delayMs, QByteArray::number(saveDelay).constData());
        // Typing is saved 0.3 s after the last keystroke: a busy machine may be late, never seconds late.
        QVERIFY2(saveDelay < 2000, QByteArray::number(saveDelay).constData());
        QTRY_COMPARE(readBytes(path), QByteArrayLiteral("Start!!!!!"));
        QVERIFY(!writes.wait(AutoSave::delayMs * 2));
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

    // A long note's first save copies from the file it was read from the start the window still shows as read,
    // instead of writing it again: what it leaves is the window's text.
    void firstSaveCopiesTheStartAsRead()
    {
        const QByteArray text = QByteArray("a line of a long note, \xC3\xA9 \xF0\x9F\x8C\xB1\n").repeated(100'000);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("note.txt"));
        writeBytes(path, text);
        // Past the clock tick of its last change, so that the save does not read the file to compare it first.
        QTest::qSleep(2100);
        const std::unique_ptr<PlainTextDocument> note = openNote(path);
        NoteTextView *view = editorOf(*note)->textView();
        QTRY_VERIFY_WITH_TIMEOUT(!view->isLoading(), 30000);
        // The copy reads the file read; nothing else in the app reads it again.
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(::inotify_add_watch(watch, QFile::encodeName(path).constData(), IN_ACCESS) >= 0);
        QSignalSpy saved(note.get(), &Document::saved);
        typeAtEnd(view, QStringLiteral("typed"));
        QVERIFY(saved.wait(20000));
        alignas(inotify_event) char events[4096];
        const ssize_t got = ::read(watch, events, sizeof events);
        bool read = false;
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(events + at);
            read = read || (event->mask & IN_ACCESS);
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
        ::close(watch);
        QCOMPARE(readBytes(path), text + "typed");
        QVERIFY2(read, "the start as read was written again instead of copied");
    }
};

QTEST_MAIN(TestPlainTextDocument)
#include "tst_plaintextdocument.moc"
