// A note's states: the table written in notestate.h is the one the code follows, row by row and in what it leaves
// out, and a real note walks through the states as its user and another program act.
#include "editor/messagebar.h"
#include "framework/notestate.h"
#include "support/bytesdocument.h"

#include <QFile>
#include <QPushButton>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QSet>

using namespace TestSupport;
using State = NoteState::State;
using Event = NoteState::Event;

namespace {

template<typename E> E parse(const QString &key)
{
    bool ok = false;
    const int value = QMetaEnum::fromType<E>().keyToValue(key.toLatin1().constData(), &ok);
    if (!ok)
        qFatal("the table names %s, which the code does not have", qPrintable(key));
    return E(value);
}

template<typename E> QList<E> all()
{
    QList<E> values;
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    for (int i = 0; i < meta.keyCount(); ++i)
        values.append(E(meta.value(i)));
    return values;
}

// Put Back as the note's window offers it: the bar's button.
void putBack(OpenNote &note)
{
    MessageBar *bar = note.controller->message(MessageKind::FileChanged);
    QVERIFY(bar && bar->buttons().size() == 2);
    QCOMPARE(bar->buttons().constFirst()->text(), u"Put Back"_qs);
    bar->buttons().constFirst()->click();
}

} // namespace

class TestNoteState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TestNotes::resetServices(); }

    // Every row holds, and every pair no row names leaves the state as it is.
    void theCodeFollowsTheWrittenTable()
    {
        QFile header(QStringLiteral(NOLTNOLT_TEST_BINARY_DIR "/src/include/framework/framework/notestate.h"));
        QVERIFY(header.open(QIODevice::ReadOnly));
        static const QRegularExpression row(
            uR"(^//  (any open|any|\w+)\s+(\w+)\s+(?:\[(no typing|typing)\]\s+)?(\w+)(?:\s|$))"_qs);
        QSet<QString> covered;
        int rows = 0;
        for (const QByteArray &line : header.readAll().split('\n')) {
            const QRegularExpressionMatch match = row.match(QString::fromUtf8(line));
            if (!match.hasMatch() || match.captured(1) == u"From")
                continue;
            ++rows;
            const Event event = parse<Event>(match.captured(2));
            const State to = parse<State>(match.captured(4));
            QList<State> froms = all<State>();
            if (match.captured(1) == u"any open")
                froms.removeAll(State::Closed);
            else if (match.captured(1) != u"any")
                froms = {parse<State>(match.captured(1))};
            const QList<bool> guards =
                match.captured(3).isEmpty() ? QList<bool>{false, true} : QList<bool>{match.captured(3) == u"typing"};
            for (const State from : froms) {
                for (const bool typing : guards) {
                    QVERIFY2(NoteState::next(from, event, typing) == to, line.constData());
                    covered.insert(QStringLiteral("%1 %2 %3").arg(int(from)).arg(int(event)).arg(typing));
                }
            }
        }
        QVERIFY2(rows >= 30, "the table was not found where the code is");
        for (const State from : all<State>()) {
            for (const Event event : all<Event>()) {
                for (const bool typing : {false, true}) {
                    if (covered.contains(QStringLiteral("%1 %2 %3").arg(int(from)).arg(int(event)).arg(typing)))
                        continue;
                    QVERIFY2(
                        NoteState::next(from, event, typing) == from,
                        qPrintable(QStringLiteral("%1 %2 moves the state, but the table has no row for it")
                                       .arg(QString::fromLatin1(QMetaEnum::fromType<State>().valueToKey(int(from))),
                                            QString::fromLatin1(QMetaEnum::fromType<Event>().valueToKey(int(event))))));
                }
            }
        }
    }

    // Steps: "edit", "save", "theirs" (another program replaces the file), "mine"/"disk" (the answer), "rm", "close";
    // each followed by the state the note must reach.
    void aNoteWalksItsStates_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QByteArray>("shown");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::newRow("typed, then saved") << QStringList{"edit", "save"} << QStringList{"Edited", "Clean"}
                                           << QByteArray("old!") << QByteArray("old!");
        QTest::newRow("changed elsewhere, nothing typed: read in")
            << QStringList{"theirs"} << QStringList{"Clean"} << QByteArray("theirs") << QByteArray("theirs");
        QTest::newRow("changed under typing, the user keeps theirs")
            << QStringList{"edit", "theirs", "disk"} << QStringList{"Edited", "Asking", "Clean"} << QByteArray("theirs")
            << QByteArray("theirs");
        QTest::newRow("changed under typing, the user keeps mine")
            << QStringList{"edit", "theirs", "mine"} << QStringList{"Edited", "Asking", "Clean"} << QByteArray("old!")
            << QByteArray("old!");
        QTest::newRow("deleted: nothing written until Save Again")
            << QStringList{"rm", "save", "save again"} << QStringList{"Gone", "Gone", "Clean"} << QByteArray("old")
            << QByteArray("old");
        QTest::newRow("deleted, then typed into: written again")
            << QStringList{"rm", "edit", "save"} << QStringList{"Gone", "Edited", "Clean"} << QByteArray("old!")
            << QByteArray("old!");
        QTest::newRow("replaced by delete and rename: read in, no bar")
            << QStringList{"replace by delete", "no bar"} << QStringList{"Clean", "Clean"} << QByteArray("theirs")
            << QByteArray("theirs");
        QTest::newRow("renamed to a sync conflict copy: stays, reads the winner")
            << QStringList{"conflict copy", "no bar"} << QStringList{"Clean", "Clean"} << QByteArray("theirs")
            << QByteArray("theirs");
        QTest::newRow("trashed, then put back")
            << QStringList{"trash", "save", "put back"} << QStringList{"Gone", "Gone", "Clean"} << QByteArray("old")
            << QByteArray("old");
        QTest::newRow("closed") << QStringList{"edit", "close"} << QStringList{"Edited", "Closed"} << QByteArray("old!")
                                << QByteArray("old");
    }

    void aNoteWalksItsStates()
    {
        // "save" is a pause in typing: nothing is written for a note nobody typed into.
        QFETCH(QStringList, steps);
        QFETCH(QStringList, states);
        QFETCH(QByteArray, shown);
        std::function<void(NoteQuestions::Conflict)> pending;
        TestNotes::services().questions.whichVersion = [&pending](Document *, const LineDiff &, const auto &answer) {
            pending = answer;
        };
        OpenNote note("old");
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QString &step = steps.at(i);
            if (step == u"edit")
                note.document->edit("old!");
            else if (step == u"save")
                QCOMPARE(note.autosave(), std::nullopt);
            else if (step == u"theirs")
                replaceByRename(note.path, "theirs");
            else if (step == u"rm")
                QVERIFY(QFile::remove(note.path));
            else if (step == u"save again")
                note.document->saveDocument();
            else if (step == u"trash") {
                qputenv("XDG_DATA_HOME", QFile::encodeName(note.dir.filePath("data")));
                QCOMPARE(run("gio", {"trash", note.path}).exitCode, 0);
            } else if (step == u"put back")
                putBack(note);
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
                QTest::qWait(1700);
                QVERIFY(!note.controller->message(MessageKind::FileChanged));
            } else if (step == u"close")
                note.document->close();
            else {
                QTRY_VERIFY(pending);
                std::exchange(pending, {})(step == u"mine" ? NoteQuestions::Conflict::KeepMine
                                                           : NoteQuestions::Conflict::UseDisk);
            }
            QTRY_COMPARE(note.document->state(), parse<State>(states.at(i)));
        }
        QTRY_COMPARE(note.document->bytes, shown);
        note.document->finishWrites();
        QTEST(readBytes(note.path), "onDisk");
    }
};

QTEST_MAIN(TestNoteState)
#include "tst_notestate.moc"
