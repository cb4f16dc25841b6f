#include "editor/notefixture.h"
#include "framework/posixfile.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>

#include <sys/stat.h>

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
    void acceptsWellFormedUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("accepts: empty file") << QByteArray() << QString();
        QTest::newRow("accepts: NUL as an ordinary character")
            << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3);
        QTest::newRow("keeps: leading byte-order mark") << QByteArray("\357\273\277note") << u"\uFEFFnote"_qs;
    }

    void acceptsWellFormedUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        PlainTextDocument note;
        const Editor *editor = readWithEditor(note, bytes);
        QCOMPARE(note.windowControllers().size(), 1);
        QCOMPARE(editor->textDocument(), &note);
        QCOMPARE(editor->textView()->text(), expected);
        QCOMPARE(note.data(typeName), bytes);
    }

    void rejectsIllFormedUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // Which bytes are refused is the decoder's differential test; here: a refused reload changes nothing.
        QTest::newRow("rejects: one bad byte deep in good text")
            << (sampleText.toUtf8().repeated(1000) + "\xFF" + sampleText.toUtf8());
    }

    void rejectsIllFormedUtf8()
    {
        QFETCH(QByteArray, bytes);
        // Without an editor the document keeps its own copy of the text.
        PlainTextDocument bare;
        bare.read(sampleText.toUtf8(), typeName);
        QVERIFY_THROWS_EXCEPTION(Error, bare.read(bytes, typeName));
        QCOMPARE(bare.text(), sampleText);

        PlainTextDocument note;
        NoteTextView *view = readWithEditor(note, sampleText.toUtf8())->textView();
        view->setSelectedRange({8, 3});
        try {
            note.read(bytes, typeName);
            QFAIL("ill-formed bytes were accepted");
        } catch (const Error &error) {
            QCOMPARE(error.domain(), QStringLiteral("NSCocoaErrorDomain"));
            QCOMPARE(error.code(), 261);
            QCOMPARE(error.description(), QStringLiteral("This file is not UTF-8 plain text."));
        }
        QCOMPARE(view->text(), sampleText);
        QCOMPARE(view->selectedRange(), (Range{8, 3}));
        QCOMPARE(note.data(typeName), sampleText.toUtf8());
    }

    void reloadClampsSelection_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Range>("selection");
        QTest::addColumn<QString>("reloaded");
        QTest::addColumn<Range>("expected");
        QTest::addColumn<QString>("count");
        const QString lines = QStringLiteral("One two\nThree four");
        const QString twenty = QStringLiteral("abcde fghij klmno pq");
        QTest::newRow("keeps: selection inside a longer text")
            << lines << Range{4, 3} << lines + u'!' << Range{4, 3} << "4";
        QTest::newRow("collapses: start beyond the new end") << lines << Range{4, 3} << "On" << Range{2, 0} << "1";
        QTest::newRow("shortens: 20 units, 5/10, new length 8")
            << twenty << Range{5, 10} << twenty.left(8) << Range{5, 3} << "2";
        QTest::newRow("counts UTF-16: one emoji left of two")
            << u"ab🌱🌱cd"_qs << Range{2, 4} << u"ab🌱"_qs << Range{2, 2} << "1";
    }

    void reloadClampsSelection()
    {
        QFETCH(QString, shown);
        QFETCH(Range, selection);
        QFETCH(QString, reloaded);
        QFETCH(Range, expected);
        QFETCH(QString, count);
        PlainTextDocument note;
        Editor *editor = readWithEditor(note, shown.toUtf8());
        editor->textView()->setSelectedRange(selection);
        note.read(reloaded.toUtf8(), typeName);
        QCOMPARE(editor->textView()->text(), reloaded);
        QCOMPARE(editor->textView()->selectedRange(), expected);
        QCOMPARE(shownCount(editor), count);
        QCOMPARE(note.text(), reloaded);
    }

    void canonicallyEqualTextLeavesEditorAlone_data()
    {
        QTest::addColumn<QString>("reloaded");
        QTest::newRow("same text") << QStringLiteral("café crème x");
        QTest::newRow("same text, accents decomposed") << QStringLiteral("cafe\u0301 cre\u0300me x");
    }

    void canonicallyEqualTextLeavesEditorAlone()
    {
        QFETCH(QString, reloaded);
        PlainTextDocument note;
        Editor *editor = readWithEditor(note, QStringLiteral("café crème ").toUtf8());
        NoteTextView *view = editor->textView();
        typeAtEnd(view, QStringLiteral("x"));
        view->setSelectedRange({1, 2});
        const int undoSteps = view->document()->availableUndoSteps();
        QVERIFY(undoSteps > 0);
        // A label changed behind our back would show that the count ran again.
        countLabel(editor)->setText(QStringLiteral("untouched"));
        note.read(reloaded.toUtf8(), typeName);
        QCOMPARE(view->text(), QStringLiteral("café crème x"));
        QCOMPARE(view->selectedRange(), (Range{1, 2}));
        QCOMPARE(view->document()->availableUndoSteps(), undoSteps);
        QCOMPARE(shownCount(editor), QStringLiteral("untouched"));
    }

    // What is not a note is refused at once with the file named, never waited on or read without end.
    void oddPathsAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("FIFO") << "fifo"
                              << "“odd” in “%1”: it is not a regular file.";
        QTest::newRow("character device") << "/dev/zero"
                                          << "“zero” in “/dev”: it is not a regular file.";
        QTest::newRow("folder") << "folder"
                                << "“odd” in “%1”: it is not a regular file.";
        QTest::newRow("larger than a quarter of free memory") << "huge"
                                                              << "“odd” in “%1”: it is too large to open";
        QTest::newRow("not UTF-8, named under the message") << "latin1"
                                                            << "“odd” is not UTF-8 plain text.";
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
        else if (kind == u"latin1")
            writeBytes(path, "caf\xe9");
        else if (kind == u"huge") // sparse: takes no room on disk
            QVERIFY(QFile(path).open(QIODevice::WriteOnly) && QFile(path).resize(PosixFile::readLimit() + 1));
        else
            path = kind;
        PlainTextDocument note;
        try {
            note.readFromUrl(QUrl::fromLocalFile(path), typeName);
            QFAIL("opened");
        } catch (const Error &error) {
            const QString said = error.description() + u'|' + error.informativeText();
            QVERIFY2(said.contains(message.arg(dir.path())), qPrintable(said));
        }
        QCOMPARE(note.text(), QString());
    }

    void savesWhatTheEditorShows()
    {
        PlainTextDocument note;
        typeAtEnd(readWithEditor(note, QByteArrayLiteral("One\r\ntwo"))->textView(), QStringLiteral(" three"));
        QCOMPARE(note.data(typeName), QByteArrayLiteral("One\r\ntwo three"));
        // Once its window is closed the document keeps the last text.
        note.close();
        QCOMPARE(note.windowControllers().size(), 0);
        QCOMPARE(note.data(typeName), QByteArrayLiteral("One\r\ntwo three"));
    }
};

QTEST_MAIN(TestPlainTextDocument)
#include "tst_plaintextdocument.moc"
