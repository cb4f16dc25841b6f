#include "editor/editor.h"
#include "editor/notetextview.h"
#include "storage/plaintextdocument.h"

#include <QLabel>
#include <QTest>
#include <QTextDocument>

namespace {

const QString typeName = QString::fromLatin1(PlainTextDocument::typeName);
const QString sampleText = QStringLiteral("Plain text\nUnicode: café 🌱\n\tIndented\n");

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
        QTest::newRow("accepts: sample text") << sampleText.toUtf8() << sampleText;
        QTest::newRow("accepts: NUL as an ordinary character")
            << QByteArray("a\0b", 3) << QStringView(u"a\u0000b", 3).toString();
        QTest::newRow("accepts: U+FFFD written literally")
            << QByteArray("x\xEF\xBF\xBDy") << QStringLiteral("x\uFFFDy");
        QTest::newRow("keeps: leading byte-order mark")
            << QByteArray("\xEF\xBB\xBFnote") << QStringLiteral("\uFEFFnote");
        QTest::newRow("accepts: U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << QString::fromUcs4(U"\U0010FFFF");
    }

    void acceptsWellFormedUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        PlainTextDocument note;
        note.read(bytes, typeName);
        QCOMPARE(note.text(), expected);
        QCOMPARE(note.data(typeName), bytes);
        note.makeWindowControllers();
        QCOMPARE(editorOf(note)->textView()->text(), expected);
        QCOMPARE(note.data(typeName), bytes);
    }

    void rejectsIllFormedUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("rejects: FF FE FF (UTF-16 byte-order mark look-alike)") << QByteArray("\xFF\xFE\xFF");
        QTest::newRow("rejects: lone continuation byte") << QByteArray("ab\x80"
                                                                       "cd");
        QTest::newRow("rejects: sequence cut short at the very end") << QByteArray("caf\xC3");
        QTest::newRow("rejects: three-byte sequence cut short at the end") << QByteArray("x\xE2\x82");
        QTest::newRow("rejects: overlong slash C0 AF") << QByteArray("\xC0\xAF");
        QTest::newRow("rejects: overlong slash E0 80 AF") << QByteArray("\xE0\x80\xAF");
        QTest::newRow("rejects: surrogate ED A0 80") << QByteArray("\xED\xA0\x80");
        QTest::newRow("rejects: above U+10FFFF F4 90 80 80") << QByteArray("\xF4\x90\x80\x80");
        QTest::newRow("rejects: F5 lead byte") << QByteArray("\xF5\x80\x80\x80");
        QTest::newRow("rejects: one bad byte deep in good text")
            << (sampleText.toUtf8().repeated(1000) + "\xFF" + sampleText.toUtf8());
    }

    void rejectsIllFormedUtf8()
    {
        QFETCH(QByteArray, bytes);
        PlainTextDocument note;
        note.read(sampleText.toUtf8(), typeName);
        note.makeWindowControllers();
        NoteTextView *view = editorOf(note)->textView();
        view->setSelectedRange({8, 3});
        try {
            note.read(bytes, typeName);
            QFAIL("ill-formed bytes were accepted");
        } catch (const Error &error) {
            QCOMPARE(error.domain(), QStringLiteral("NSCocoaErrorDomain"));
            QCOMPARE(error.code(), 261);
            QCOMPARE(error.description(), QStringLiteral("This file is not UTF-8 plain text."));
        }
        QCOMPARE(note.text(), sampleText);
        QCOMPARE(view->text(), sampleText);
        QCOMPARE(view->selectedRange(), (NoteTextView::Range{8, 3}));
        QCOMPARE(note.data(typeName), sampleText.toUtf8());
    }

    void rejectedReadWithoutEditorKeepsText()
    {
        PlainTextDocument note;
        note.read(sampleText.toUtf8(), typeName);
        QVERIFY_THROWS_EXCEPTION(Error, note.read(QByteArrayLiteral("\xFF\xFE\xFF"), typeName));
        QCOMPARE(note.text(), sampleText);
    }

    void reloadClampsSelection_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<qsizetype>("location");
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<QString>("reloaded");
        QTest::addColumn<qsizetype>("expectedLocation");
        QTest::addColumn<qsizetype>("expectedLength");
        QTest::addColumn<QString>("expectedCount");

        const QString twenty = QStringLiteral("abcde fghij klmno pq");
        QTest::newRow("keeps: selection inside a longer text")
            << QStringLiteral("One two\nThree four") << qsizetype(4) << qsizetype(3)
            << QStringLiteral("One two\nThree four!") << qsizetype(4) << qsizetype(3) << QStringLiteral("4");
        QTest::newRow("collapses: start beyond the new end")
            << QStringLiteral("One two\nThree four") << qsizetype(4) << qsizetype(3) << QStringLiteral("On")
            << qsizetype(2) << qsizetype(0) << QStringLiteral("1");
        QTest::newRow("collapses: 20 units, 15/5, new length 10")
            << twenty << qsizetype(15) << qsizetype(5) << twenty.left(10) << qsizetype(10) << qsizetype(0)
            << QStringLiteral("2");
        QTest::newRow("shortens: 20 units, 5/10, new length 8")
            << twenty << qsizetype(5) << qsizetype(10) << twenty.left(8) << qsizetype(5) << qsizetype(3)
            << QStringLiteral("2");
        QTest::newRow("counts UTF-16: two emoji are four units")
            << QStringLiteral("ab🌱🌱cd") << qsizetype(2) << qsizetype(4) << QStringLiteral("ab🌱🌱") << qsizetype(2)
            << qsizetype(4) << QStringLiteral("1");
        QTest::newRow("counts UTF-16: one emoji left of two")
            << QStringLiteral("ab🌱🌱cd") << qsizetype(2) << qsizetype(4) << QStringLiteral("ab🌱") << qsizetype(2)
            << qsizetype(2) << QStringLiteral("1");
        QTest::newRow("counts UTF-16: precomposed é is one unit")
            << QStringLiteral("café au lait") << qsizetype(3) << qsizetype(5) << QStringLiteral("café") << qsizetype(3)
            << qsizetype(1) << QStringLiteral("1");
        QTest::newRow("collapses: reload to empty") << QStringLiteral("One two") << qsizetype(2) << qsizetype(3)
                                                    << QString() << qsizetype(0) << qsizetype(0) << QStringLiteral("0");
    }

    void reloadClampsSelection()
    {
        QFETCH(QString, shown);
        QFETCH(qsizetype, location);
        QFETCH(qsizetype, length);
        QFETCH(QString, reloaded);
        QFETCH(qsizetype, expectedLocation);
        QFETCH(qsizetype, expectedLength);
        QFETCH(QString, expectedCount);

        PlainTextDocument note;
        note.addWindowController(new Editor(note.fileUrl(), note.text()));
        Editor *editor = editorOf(note);
        QVERIFY(editor);
        editor->textView()->setText(shown);
        editor->textView()->setSelectedRange({location, length});
        note.read(reloaded.toUtf8(), typeName);
        QCOMPARE(editor->textView()->text(), reloaded);
        QCOMPARE(editor->textView()->selectedRange(), (NoteTextView::Range{expectedLocation, expectedLength}));
        QCOMPARE(shownCount(editor), expectedCount);
        QCOMPARE(note.text(), reloaded);
        // The new text is laid out like the old one.
        QCOMPARE(editor->textView()->document()->documentMargin(), 5.0);
        QCOMPARE(editor->textView()->document()->defaultFont().pointSize(), 15);
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
        note.read(QStringLiteral("café crème ").toUtf8(), typeName);
        note.makeWindowControllers();
        Editor *editor = editorOf(note);
        NoteTextView *view = editor->textView();
        view->setSelectedRange({view->textLength(), 0});
        QTest::keyClick(view, Qt::Key_X);
        QCOMPARE(view->text(), QStringLiteral("café crème x"));
        view->setSelectedRange({1, 2});
        const int undoSteps = view->document()->availableUndoSteps();
        QVERIFY(undoSteps > 0);
        QCOMPARE(shownCount(editor), QStringLiteral("3"));
        // A label changed behind our back would show that the count ran again.
        const QList<QLabel *> labels = editor->window()->findChildren<QLabel *>();
        for (QLabel *label : labels)
            if (label->accessibleName() == u"Word count")
                label->setText(QStringLiteral("untouched"));

        note.read(reloaded.toUtf8(), typeName);
        QCOMPARE(view->text(), QStringLiteral("café crème x"));
        QCOMPARE(view->selectedRange(), (NoteTextView::Range{1, 2}));
        QCOMPARE(view->document()->availableUndoSteps(), undoSteps);
        QCOMPARE(shownCount(editor), QStringLiteral("untouched"));
    }

    void makesOneEditorWithTheText()
    {
        PlainTextDocument note;
        note.setFileUrl(QUrl::fromLocalFile(QStringLiteral("/notes/20261014 Note 2.txt")));
        note.read(sampleText.toUtf8(), typeName);
        note.makeWindowControllers();
        QCOMPARE(note.windowControllers().size(), 1);
        Editor *editor = editorOf(note);
        QVERIFY(editor);
        QCOMPARE(editor->textDocument(), &note);
        QCOMPARE(editor->textView()->text(), sampleText);
        QCOMPARE(shownCount(editor), QStringLiteral("5"));
    }

    void savesWhatTheEditorShows()
    {
        PlainTextDocument note;
        note.read(QByteArrayLiteral("One\r\ntwo"), typeName);
        note.makeWindowControllers();
        NoteTextView *view = editorOf(note)->textView();
        view->setSelectedRange({view->textLength(), 0});
        QTest::keyClicks(view, QStringLiteral(" three"));
        QCOMPARE(note.data(typeName), QByteArrayLiteral("One\r\ntwo three"));
        QCOMPARE(note.text(), QStringLiteral("One\r\ntwo three"));
        // Once its window is closed the document keeps the last text.
        note.close();
        QCOMPARE(note.windowControllers().size(), 0);
        QCOMPARE(note.data(typeName), QByteArrayLiteral("One\r\ntwo three"));
    }
};

QTEST_MAIN(TestPlainTextDocument)
#include "tst_plaintextdocument.moc"
