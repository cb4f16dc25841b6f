#include "editor/notefixture.h"
#include "editor/view/undosteps.h"

using namespace NoteFixture;

namespace {

// Plays one step of a script: "<name>" is an action, anything else is typed.
void play(ShownNote &n, const QString &step)
{
    if (!step.startsWith(u'<')) {
        QTest::keyClicks(n.view, step);
        return;
    }
    const QString action = step.mid(1, step.size() - 2);
    if (action == u"Return")
        QTest::keyClick(n.view, Qt::Key_Return);
    else if (action == u"Top")
        QTest::keyClick(n.view, Qt::Key_Home, Qt::ControlModifier);
    else if (action == u"Pause")
        QTRY_VERIFY(n.editor->findChild<UndoSteps *>()->isTypingPaused());
    else if (action == u"Loading" || action == u"Loaded") {
        // The load itself moves no caret; typing held meanwhile does, once it goes in.
        const int caret = n.view->holdsEdits() ? -1 : n.view->textCursor().position();
        QTRY_COMPARE(n.view->isLoading(), action == u"Loading");
        QVERIFY(caret < 0 || n.view->textCursor().position() == caret);
    } else
        QFAIL(qPrintable(QStringLiteral("unknown action ") + step));
}

} // namespace

class TestEditingSteps : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void undoSteps_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("script");
        // The text typed, then after each Ctrl+Z, down to the note as it was opened.
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("typing is one step; after a pause it ends where the word does")
            << QByteArray() << QStringList{"one tw", "<Pause>", "o three"}
            << QStringList{"one two three", "one two", ""};
        const QByteArray big = QByteArray("line\n").repeated(400000);
        // Typing waits for no load, and goes in where the user put it once the whole note is there.
        QTest::newRow("typing while a big note loads is a step of its own")
            << big << QStringList{"<Loading>", "<Top>", "x", "<Loading>", "<Loaded>"} << QStringList{"x" + big, big};
        QTest::newRow("the rest of a big note comes in behind the caret")
            << big << QStringList{"<Loaded>"} << QStringList{big};
        QTest::newRow("line endings of the file come back")
            << QByteArray("a\r\nb\rc") << QStringList{"<Return>", "x"}
            << QStringList{"a\r\nb\rc\r\nx", "a\r\nb\rc\r\n", "a\r\nb\rc"};
    }

    void undoSteps()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, script);
        QFETCH(QStringList, steps);
        ShownNote n(file);
        for (const QString &step : script)
            play(n, step);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            if (i > 0)
                QTest::keyClick(n.view, Qt::Key_Z, Qt::ControlModifier);
            QTRY_COMPARE(n.view->text(), steps.at(i));
        }
        QVERIFY(!n.view->document()->isUndoAvailable());
        // Undone back to the text its file holds, the note has nothing to save.
        QCOMPARE(n.note->isDocumentEdited(), TestSupport::readBytes(n.path) != file);
    }
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestEditingSteps>(argc, argv);
}

#include "tst_editingsteps.moc"
