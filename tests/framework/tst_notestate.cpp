// A real note walks through its states as its user and other programs act, and keeps every version on the way.
#include "editor/messages/messagebar.h"
#include "framework/notestate.h"
#include "framework/recoverystore.h"
#include "support/bytesdocument.h"

#include <QDir>
#include <QFile>
#include <QMetaEnum>
#include <QPushButton>
#include <QSignalSpy>

#include <sys/stat.h>

using namespace TestSupport;
using State = NoteState::State;

namespace {

State parse(const QString &key)
{
    bool ok = false;
    const int value = QMetaEnum::fromType<State>().keyToValue(key.toLatin1().constData(), &ok);
    if (!ok)
        qFatal("no state %s", qPrintable(key));
    return State(value);
}

// Put Back or Save Again as the note's window offers it: the bar's button.
void clickOnTheBar(OpenNote &note, const QString &text)
{
    MessageBar *bar = note.controller->message(MessageKind::FileChanged);
    QVERIFY(bar);
    const QList<QPushButton *> buttons = bar->buttons();
    const auto button = std::find_if(buttons.begin(), buttons.end(), [&](auto *b) { return b->text() == text; });
    QVERIFY(button != buttons.end());
    (*button)->click();
    note.document->finishWrites();
}

// What each copy of another version beside the note holds.
QByteArrayList conflictCopies(const QString &folder)
{
    QByteArrayList held;
    for (const QString &name : QDir(folder).entryList({"* (conflict *"}, QDir::Files, QDir::Name))
        held.append(readBytes(QDir(folder).filePath(name)));
    return held;
}

} // namespace

class TestNoteState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TestNotes::resetServices(); }

    // Steps: "new" (a note named before its file exists), "edit", "save" (a pause in typing, written), "put off" (a
    // pause in typing that must write nothing), "theirs" (another program renames its version in), "mine"/"both"/
    // "disk" (the answer), "rm", "rm folder", "save again", "trash", "put back", "chmod", "ours back" (the last
    // saved bytes renamed in again), "close", and the steps below that act twice at once; each followed by the state
    // the note must reach.
    void aNoteWalksItsStates_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QByteArray>("shown");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QByteArrayList>("copies");
        QTest::newRow("typed, then saved") << QStringList{"edit", "save"} << QStringList{"Edited", "Clean"}
                                           << QByteArray("old!") << QByteArray("old!") << QByteArrayList();
        QTest::newRow("changed under typing, the user keeps theirs")
            << QStringList{"edit", "theirs", "put off", "disk"} << QStringList{"Edited", "Asking", "Asking", "Clean"}
            << QByteArray("theirs") << QByteArray("theirs") << QByteArrayList();
        QTest::newRow("changed under typing twice, the user keeps mine, then both")
            << QStringList{"edit", "theirs", "mine", "edit", "theirs", "both"}
            << QStringList{"Edited", "Asking", "Clean", "Edited", "Asking", "Clean"} << QByteArray("old!")
            << QByteArray("old!") << QByteArrayList{"theirs", "theirs"};
        QTest::newRow("asked, then deleted and typed into: nothing written, no copy of ours")
            << QStringList{"edit", "theirs", "rm", "put off", "both", "save"}
            << QStringList{"Edited", "Asking", "Asking", "Asking", "Edited", "Clean"} << QByteArray("old!")
            << QByteArray("old!") << QByteArrayList();
        QTest::newRow("deleted: nothing written until Save Again")
            << QStringList{"rm", "save", "save again"} << QStringList{"Gone", "Gone", "Clean"} << QByteArray("old")
            << QByteArray("old") << QByteArrayList();
        QTest::newRow("deleted with its folder: a failed Save Again leaves it gone")
            << QStringList{"rm folder", "save again"} << QStringList{"Gone", "Gone"} << QByteArray("old")
            << QByteArray("<unreadable>") << QByteArrayList();
        QTest::newRow("deleted, then typed into: written again")
            << QStringList{"rm", "edit", "save"} << QStringList{"Gone", "Edited", "Clean"} << QByteArray("old!")
            << QByteArray("old!") << QByteArrayList();
        QTest::newRow("typed, deleted and replaced within the grace: nothing written, then asked")
            << QStringList{"edit", "rm", "put off", "theirs", "mine"}
            << QStringList{"Edited", "Vanished", "Vanished", "Asking", "Clean"} << QByteArray("old!")
            << QByteArray("old!") << QByteArrayList{"theirs"};
        QTest::newRow("new note, another program makes its file: asked once, both kept")
            << QStringList{"new", "edit", "theirs", "mine"} << QStringList{"Gone", "Edited", "Asking", "Clean"}
            << QByteArray("old!") << QByteArray("old!") << QByteArrayList{"theirs"};
        QTest::newRow("replaced by delete and rename: read in, no bar")
            << QStringList{"replace by delete", "no bar"} << QStringList{"Clean", "Clean"} << QByteArray("theirs")
            << QByteArray("theirs") << QByteArrayList();
        QTest::newRow("renamed to a sync conflict copy: stays, reads the winner")
            << QStringList{"conflict copy", "no bar"} << QStringList{"Clean", "Clean"} << QByteArray("theirs")
            << QByteArray("theirs") << QByteArrayList();
        QTest::newRow("trashed, then put back")
            << QStringList{"trash", "save", "put back"} << QStringList{"Gone", "Gone", "Clean"} << QByteArray("old")
            << QByteArray("old") << QByteArrayList();
        // Seen first by a save rather than the watch; or no other version at all.
        QTest::newRow("saved over before the watch spoke: asked once, mine kept, theirs beside")
            << QStringList{"edit", "theirs, then save", "mine"} << QStringList{"Edited", "Asking", "Clean"}
            << QByteArray("old!") << QByteArray("old!") << QByteArrayList{"theirs"};
        QTest::newRow("saved over before the watch spoke: the user keeps theirs")
            << QStringList{"edit", "theirs, then save", "disk"} << QStringList{"Edited", "Asking", "Clean"}
            << QByteArray("theirs") << QByteArray("theirs") << QByteArrayList();
        QTest::newRow("theirs kept cannot be read in: never asked again nor written over")
            << QStringList{"edit", "refused, then save", "disk", "put off"}
            << QStringList{"Edited", "Asking", "Edited", "Edited"} << QByteArray("old!") << QByteArray("REFUSE")
            << QByteArrayList();
        QTest::newRow("typed while theirs is read in: asked, mine kept, theirs beside")
            << QStringList{"theirs, then edit", "mine"} << QStringList{"Asking", "Clean"} << QByteArray("old!")
            << QByteArray("old!") << QByteArrayList{"theirs"};
        QTest::newRow("mode changed under typing: not another version")
            << QStringList{"edit", "chmod", "save"} << QStringList{"Edited", "Edited", "Clean"} << QByteArray("old!")
            << QByteArray("old!") << QByteArrayList();
        QTest::newRow("our bytes put back, seen by the watch: not another version")
            << QStringList{"edit", "ours back", "save"} << QStringList{"Edited", "Edited", "Clean"}
            << QByteArray("old!") << QByteArray("old!") << QByteArrayList();
        QTest::newRow("our bytes put back, seen by a pause: not another version")
            << QStringList{"edit", "ours back, then save"} << QStringList{"Edited", "Clean"} << QByteArray("old!")
            << QByteArray("old!") << QByteArrayList();
        QTest::newRow("our bytes put back, seen by Save: not another version")
            << QStringList{"edit", "ours back, then Save"} << QStringList{"Edited", "Clean"} << QByteArray("old!")
            << QByteArray("old!") << QByteArrayList();
        QTest::newRow("closed") << QStringList{"edit", "close"} << QStringList{"Edited", "Closed"} << QByteArray("old!")
                                << QByteArray("old") << QByteArrayList();
    }

    void aNoteWalksItsStates()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, states);
        QFETCH(QByteArray, shown);
        std::function<void(NoteQuestions::Conflict)> pending;
        TestNotes::services().questions.whichVersion = [&pending](Document *, const LineDiff &, const auto &answer) {
            pending = answer;
        };
        QTemporaryDir state;
        RecoveryStore recovery(state.filePath(u"recovery"_qs));
        TestNotes::services().recovery = &recovery;
        OpenNote note(steps.constFirst() == u"new" ? "" : "old");
        QSignalSpy gone(note.document, &Document::fileGone);
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QString &step = steps.at(i);
            if (step == u"edit")
                note.document->edit("old!");
            else if (step == u"save")
                QCOMPARE(note.autosave(), std::nullopt);
            else if (step == u"put off") {
                const std::optional<Error> putOff = note.autosave();
                QVERIFY(putOff && putOff->source() == Error::Source::Deferred);
                QVERIFY(readBytes(note.path) != "old!");
                // Until it can be written, a kill loses nothing.
                QTRY_COMPARE(readBytes(recovery.entries().value(0).recoveryPath), QByteArray("old!"));
            } else if (step == u"theirs")
                replaceByRename(note.path, "theirs");
            else if (step == u"theirs, then save" || step == u"refused, then save") {
                // Written in place and saved over at once: the save looks before the watch has said anything.
                writeBytes(note.path, step.startsWith(u"theirs") ? "theirs" : "REFUSE");
                note.document->autosave({});
            } else if (step == u"theirs, then edit") {
                writeBytes(note.path, "theirs");
                note.document->checkFileOnDisk();
                note.document->edit("old!");
            } else if (step == u"chmod")
                QVERIFY(::chmod(QFile::encodeName(note.path).constData(), 0640) == 0);
            else if (step.startsWith(u"ours back")) {
                replaceByRename(note.path, "old");
                if (step.endsWith(u"save"))
                    QCOMPARE(note.autosave(), std::nullopt);
                if (step.endsWith(u"Save")) {
                    note.document->saveDocument();
                    QVERIFY(note.document->finishWrites());
                }
            } else if (step == u"rm")
                QVERIFY(QFile::remove(note.path));
            else if (step == u"rm folder")
                QVERIFY(QDir(note.dir.path()).removeRecursively());
            else if (step == u"save again")
                clickOnTheBar(note, WindowController::tr("Save Again"));
            else if (step == u"trash") {
                qputenv("XDG_DATA_HOME", QFile::encodeName(note.dir.filePath("data")));
                QCOMPARE(run("gio", {"trash", note.path}).exitCode, 0);
            } else if (step == u"put back")
                clickOnTheBar(note, WindowController::tr("Put Back"));
            else if (step == u"replace by delete" || step == u"conflict copy") {
                const QString aside = step == u"conflict copy"
                                          ? note.dir.filePath(u"note.sync-conflict-20261207-021530-VJMWRMI.txt"_qs)
                                          : QString();
                QVERIFY(aside.isEmpty() ? QFile::remove(note.path) : QFile::rename(note.path, aside));
                QTest::qWait(300);
                replaceByRename(note.path, "theirs");
                QTRY_COMPARE(note.document->bytes, QByteArray("theirs"));
                QCOMPARE(note.document->fileUrl(), FileNames::urlOfPath(note.path));
            } else if (step == u"no bar") {
                // Neither told as deleted for a moment, nor left with a bar.
                QTest::qWait(1700);
                QCOMPARE(gone.size(), 0);
                QVERIFY(!note.controller->message(MessageKind::FileChanged));
            } else if (step == u"close")
                note.document->close();
            else if (step != u"new") {
                QTRY_VERIFY(pending);
                std::exchange(pending, {})(step == u"mine"   ? NoteQuestions::Conflict::KeepMine
                                           : step == u"both" ? NoteQuestions::Conflict::KeepBoth
                                                             : NoteQuestions::Conflict::UseDisk);
            }
            QTRY_COMPARE(note.document->state(), parse(states.at(i)));
        }
        QTRY_COMPARE(note.document->bytes, shown);
        note.document->finishWrites();
        QTEST(readBytes(note.path), "onDisk");
        // Every other version is kept once, and none of ours is taken for theirs.
        QTEST(conflictCopies(note.dir.path()), "copies");
        QVERIFY(!pending);
    }
};

QTEST_MAIN(TestNoteState)
#include "tst_notestate.moc"
