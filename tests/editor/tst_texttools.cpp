// The editing tools around the note's text: find, spelling, autocorrection, smart delete and paste, case changes.
#include "editor/casetransform.h"
#include "editor/findbar.h"
#include "editor/spellchecker.h"
#include "editor/texttools.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using CaseTransform::Mapping;
Q_DECLARE_METATYPE(CaseTransform::Mapping)

namespace {

// A window laid out like the editor's: the text with the find bar below it and the text tools on both.
struct Window
{
    QWidget window;
    QPlainTextEdit *text = new QPlainTextEdit(&window);
    FindBar *bar = new FindBar(text, &window);
    TextTools *tools = new TextTools(text, bar, &window);

    explicit Window(const QString &content = {})
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(text);
        layout->addWidget(bar);
        text->setPlainText(content);
        window.show();
    }
    void select(qsizetype start, qsizetype end)
    {
        QTextCursor cursor(text->document());
        cursor.setPosition(int(start));
        cursor.setPosition(int(end), QTextCursor::KeepAnchor);
        text->setTextCursor(cursor);
    }
    QPair<qsizetype, qsizetype> selection() const
    {
        return {text->textCursor().selectionStart(), text->textCursor().selectionEnd()};
    }
};

} // namespace

class TestTextTools : public QObject
{
    Q_OBJECT

private Q_SLOTS:

    void findWrapsAround_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("caret");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<QList<qsizetype>>("expected");
        const QString three = QStringLiteral("one two\none two\nthree one");
        QTest::newRow("next: wraps to the top") << three << 5 << true << QList<qsizetype>{8, 22, 0, 8};
        QTest::newRow("previous: wraps to the bottom") << three << 5 << false << QList<qsizetype>{0, 22, 8, 0};
        QTest::newRow("next: non-BMP text before the match")
            << QStringLiteral("🌱🌱 one 🌱 one") << 0 << true << QList<qsizetype>{5, 12, 5};
    }
    void findWrapsAround()
    {
        QFETCH(QString, content);
        QFETCH(int, caret);
        QFETCH(bool, forward);
        QFETCH(QList<qsizetype>, expected);
        Window w(content);
        w.bar->setSearchText(QStringLiteral("one"));
        w.bar->showFind();
        QCOMPARE(w.bar->matchCount(), content.count(QStringLiteral("one")));
        w.select(caret, caret);
        for (const qsizetype position : expected) {
            QVERIFY(forward ? w.bar->findNext() : w.bar->findPrevious());
            QCOMPARE(w.selection(), qMakePair(position, position + 3));
        }
    }

    void replaceAllIsOneUndoStep()
    {
        const QString original = QStringLiteral("cat dog cat\ncat");
        Window w(original);
        w.bar->setSearchText(QStringLiteral("cat"));
        w.bar->setReplaceText(QStringLiteral("lion"));
        QCOMPARE(w.bar->replaceAll(), qsizetype(3));
        QCOMPARE(w.text->toPlainText(), QStringLiteral("lion dog lion\nlion"));
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), original);
        QVERIFY(!w.text->document()->isUndoAvailable());
    }

    void smartEdits_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("pasted"); // none: the selection is deleted
        QTest::addColumn<QString>("expected");
        QTest::newRow("delete: a word takes one space") << "a word b" << 2 << 6 << QString() << "a b";
        QTest::newRow("paste: adds a space before") << "hello world" << 5 << 5 << "big"
                                                    << "hello big world";
    }
    void smartEdits()
    {
        QFETCH(QString, content);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        Window w(content);
        w.select(start, end);
        if (pasted.isNull())
            QTest::keyClick(w.text, Qt::Key_Backspace);
        else
            QCOMPARE(w.tools->pasteSmartly(pasted), expected != content);
        QCOMPARE(w.text->toPlainText(), expected);
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), content);
    }

    void spellingSkipsWhatIsNotAWord()
    {
        QStringList found;
        const QString text = QStringLiteral("don't abc123 snake_case see notes.txt, me@example.org or /usr/share");
        for (const SpellChecker::Word &word : SpellChecker::words(text))
            found << text.mid(word.position, word.length);
        QCOMPARE(found, (QStringList{"don't", "see", "or"}));
    }

    void caseChanges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<Mapping>("mapping");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedStart");
        QTest::addColumn<int>("expectedEnd");
        QTest::newRow("capitalize: words of a selection")
            << u"an ox"_qs << 0 << 5 << Mapping::Capitalize << u"An Ox"_qs << 0 << 5;
        QTest::newRow("caret: the word around it grows")
            << u"die straße"_qs << 6 << 6 << Mapping::Upper << u"die STRASSE"_qs << 4 << 11;
    }
    void caseChanges()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(Mapping, mapping);
        QFETCH(QString, expected);
        QFETCH(int, expectedStart);
        QFETCH(int, expectedEnd);
        Window w(text);
        w.select(start, end);
        CaseTransform::apply(w.text, mapping);
        QCOMPARE(w.text->toPlainText(), expected);
        QCOMPARE(w.selection(), qMakePair(qsizetype(expectedStart), qsizetype(expectedEnd)));
        // One undo step takes it all back.
        w.text->undo();
        QCOMPARE(w.text->toPlainText(), text);
        QVERIFY(!w.text->document()->isUndoAvailable());
    }
};

// enchant reads the user's word list folder once per process: point it into a temporary home before then.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    QApplication app(argc, argv);
    TestTextTools test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_texttools.moc"
