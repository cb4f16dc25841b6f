#include "support/testsupport.h"

#include "editor/notefixture.h"
#include "framework/documentasker.h"
#include "framework/messagebar.h"
#include "framework/recoverystore.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QStandardPaths>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace NoteFixture;
using namespace TestSupport;

namespace {

// Real key events through the window, so they go wherever the focus is, as the user's do.
void typeIntoWindow(QWidget *window, const QByteArray &text)
{
    for (char c : text)
        QTest::keyClick(window->windowHandle(), c);
}

} // namespace

class TestMessageBar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // A message appears in the middle of typing: no keystroke is lost, none presses a button, and the bar goes
    // when its cause does.
    void typingGoesOnWhileAMessageAppears_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("kind");
        QTest::newRow("another program changed the note") << "conflict" << int(MessageKind::Conflict);
        QTest::newRow("the note became read-only") << "readonly" << int(MessageKind::ReadOnly);
        QTest::newRow("a save failed") << "savefailed" << int(MessageKind::SaveFailed);
    }

    void typingGoesOnWhileAMessageAppears()
    {
        QFETCH(QString, cause);
        QFETCH(int, kind);
        QTemporaryDir dir;
        RecoveryStore store(dir.filePath(QStringLiteral("recovery")));
        Document::setRecoveryStore(&store);
        ShownNote n;
        const QString &path = n.path;
        const QString folder = QFileInfo(path).path();
        Editor *editor = n.editor;
        QWidget *window = editor->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        typeIntoWindow(window, "one two");
        QTRY_COMPARE(readBytes(path), QByteArray("one two"));
        if (cause == u"readonly")
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
        else if (cause == u"savefailed")
            QVERIFY(QDir(folder).removeRecursively());
        typeIntoWindow(window, " three");
        if (cause == u"conflict")
            writeBytes(path, "theirs");
        QTRY_VERIFY(editor->message(MessageKind(kind)));
        typeIntoWindow(window, " four five");

        MessageBar *bar = editor->message(MessageKind(kind));
        QString written = path;
        QCOMPARE(editor->textView()->text(), QStringLiteral("one two three four five"));
        QCOMPARE(QApplication::focusWidget(), editor->textView());
        for (const QPushButton *button : bar->buttons())
            QVERIFY(!button->isDefault() && !button->hasFocus());
        const QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(bar);
        QCOMPARE(spoken->role(), QAccessible::AlertMessage);
        QVERIFY2(spoken->text(QAccessible::Name).contains(u"Note.txt"), qPrintable(spoken->text(QAccessible::Name)));
        if (cause == u"conflict") {
            // The question waits, and nothing is written over the other version meanwhile.
            QTest::qWait(Editor::saveDelayMs * 2);
            QCOMPARE(readBytes(path), QByteArray("theirs"));
            QCOMPARE(readBytes(store.entries().value(0).recoveryPath), QByteArray("one two three four five"));
            QTest::mouseClick(bar->buttons().constFirst(), Qt::LeftButton); // "Keep My Text"
        } else if (cause == u"readonly") {
            QVERIFY(window->windowTitle().endsWith(u"Read-Only"));
            written = folder + QStringLiteral("/copy.txt");
            DocumentAsker::setSaveAsAsker([&written](Document *) { return std::optional<QString>(written); });
            QTest::mouseClick(bar->buttons().constFirst(), Qt::LeftButton); // "Save As…"
        } else {
            QVERIFY(QDir().mkpath(folder)); // the retry after a second finds it again
        }
        QTRY_VERIFY_WITH_TIMEOUT(!editor->message(MessageKind(kind)), 5000);
        QTRY_COMPARE(readBytes(written), QByteArray("one two three four five"));
        QCOMPARE(QApplication::focusWidget(), editor->textView());
        n.note->close();
        Document::setRecoveryStore(nullptr);
        DocumentAsker::setSaveAsAsker({});
    }
};

QTEST_MAIN(TestMessageBar)
#include "tst_messagebar.moc"
