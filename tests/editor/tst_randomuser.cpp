#include "editor/notefixture.h"
#include "editor/view/editingcommands.h"
#include "editor/view/noteloader.h"

#include <QClipboard>
#include <QKeyEvent>
#include <QRandomGenerator>

using namespace NoteFixture;
using namespace Qt::StringLiterals;

namespace {

// What a user types: a key at a time, each key the characters it commits.
const QStringList typedKeys = {u"a"_s, u"e"_s,           u"k"_s, u"W"_s,      u" "_s,    u" "_s,
                               u"."_s, u"\t"_s,          u"é"_s, u"\u0301"_s, u"漢"_s,   u"字"_s,
                               u"🌱"_s, u"👩‍💻"_s, u"ש"_s, u"ل"_s,      u"teh "_s, u"adn "_s};
const QStringList pastes = {u"x"_s, u"two words "_s, u"line\nbreak\r\nmixed\r"_s, u"🌱 é\u0301 שלום"_s, u""_s};

int envNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

// Drives the real editor window of a note with seeded random steps, and checks after every step that the window,
// the text the note would write and the file agree.
class RandomUser
{
public:
    RandomUser(ShownNote &note, quint32 seed)
        : n(note)
        , random(seed)
        , path(note.path)
        , version(note.view->text())
    {
        // Each seed plays the same whatever ran before it.
        n.zoom.reset();
        // Edits made while a big note loads leave no history: its history starts where the load ends.
        m_loaded = QObject::connect(n.view, &NoteTextView::loaded, n.view, [this] { version = n.view->text(); });
    }
    ~RandomUser() { QObject::disconnect(m_loaded); }
    Q_DISABLE_COPY_MOVE(RandomUser)

    // The step that failed and what was played up to it, for the failure message.
    QString trail;

    bool run(int steps)
    {
        for (int step = 0; step < steps; ++step) {
            play(step);
            if (QTest::currentTestFailed())
                return false;
            if (!agrees() || (step % 40 == 39 && !saveAgrees()) ||
                (step % m_undoEvery == m_undoEvery - 1 && !undoAgrees()))
                return false;
        }
        return saveAgrees() && undoAgrees();
    }

private:
    int below(int bound) { return int(random.bounded(quint32(std::max(bound, 1)))); }

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, const QString &name = {})
    {
        note(name.isEmpty() ? QKeySequence(key | modifiers).toString() : name);
        QTest::keyClick(n.view, key, modifiers);
    }

    void typeKey(const QString &text)
    {
        note(u"type "_s + text);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(n.view, &press);
        QApplication::sendEvent(n.view, &release);
    }

    void note(const QString &what) { trail = (trail.size() > 200000 ? trail.right(100000) : trail) + what + u" | "_s; }

    void play(int step)
    {
        note(QString::number(step) + u':');
        const int kind = below(100);
        if (kind < 40) {
            for (int i = below(6) + 1; i > 0; --i)
                typeKey(typedKeys[below(int(typedKeys.size()))]);
        } else if (kind < 45) {
            key(Qt::Key_Return);
        } else if (kind < 53) {
            key(below(2) ? Qt::Key_Backspace : Qt::Key_Delete);
        } else if (kind < 60) {
            click();
        } else if (kind < 67) {
            static const Qt::Key arrows[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home};
            key(arrows[below(5)], below(2) ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (kind < 71) {
            QApplication::clipboard()->setText(pastes[below(int(pastes.size()))]);
            key(Qt::Key_V, Qt::ControlModifier);
        } else if (kind < 73) {
            key(Qt::Key_X, Qt::ControlModifier);
        } else if (kind < 79) {
            key(Qt::Key_Z, below(3) ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
        } else if (kind < 82) {
            // Replacing every match in a big note is a test of its own.
            if (n.view->textLength() < 1024 * 1024)
                replaceAll();
        } else if (kind < 86) {
            const int which = below(3);
            note(u"case change"_s);
            n.editor->findChild<EditingCommands *>()->perform(which == 0   ? Command::Uppercase
                                                              : which == 1 ? Command::Lowercase
                                                                           : Command::Capitalize,
                                                              {});
        } else if (kind < 88) {
            key(below(2) ? Qt::Key_Equal : Qt::Key_Minus, Qt::ControlModifier);
        } else if (kind < 91) {
            changeOnDisk();
        } else if (kind < 92) {
            moveFile();
        } else {
            key(below(2) ? Qt::Key_End : Qt::Key_Home, below(2) ? Qt::ControlModifier : Qt::NoModifier);
        }
    }

    // A click somewhere in the view, now and then with Shift to select.
    void click()
    {
        const QRect area = n.view->viewport()->rect();
        const QPoint point(below(area.width()), below(area.height()));
        note(u"click %1,%2"_s.arg(point.x()).arg(point.y()));
        QTest::mouseClick(n.view->viewport(), Qt::LeftButton, below(5) ? Qt::NoModifier : Qt::ShiftModifier, point);
    }

    void replaceAll()
    {
        const QString text = n.view->text();
        FindBar *bar = n.findBar();
        const qsizetype at = below(int(text.size()));
        QString search = text.mid(at, below(3) + 1);
        if (search.isEmpty() || search.front().isLowSurrogate() || search.back().isHighSurrogate())
            search = u"e"_s;
        const QString replacement = pastes[below(int(pastes.size()))];
        note(u"replace all "_s + search + u" by "_s + replacement);
        bar->setSearchText(search);
        bar->setReplaceText(replacement);
        bar->replaceAll();
    }

    // Saves, then another program writes the note: the same text, another, a shorter one, or one where the
    // character before the caret became an emoji. The window must show it and start its history afresh.
    void changeOnDisk()
    {
        if (!saveAgrees())
            return;
        QString text = n.view->text();
        const qsizetype caret = n.view->selectedRange().location;
        switch (below(4)) {
        case 0:
            // The same text again: nothing to take in, and the history stays.
            TestSupport::replaceByRename(path, text.toUtf8());
            return;
        case 1:
            text = u"Written elsewhere 🌱\r\nline two\n"_s.repeated(below(3) + 1);
            break;
        case 2:
            text.truncate(text.size() / 2);
            if (!text.isEmpty() && text.back().isHighSurrogate())
                text.chop(1);
            break;
        default:
            if (caret > 0 && !text[caret - 1].isSurrogate())
                text.replace(caret - 1, 1, u"🌱"_s);
            else
                text.prepend(u"🌱"_s);
        }
        note(u"changed on disk (%1 to %2 units)"_s.arg(n.view->textLength()).arg(text.size()));
        TestSupport::replaceByRename(path, text.toUtf8());
        QTRY_COMPARE_WITH_TIMEOUT(n.view->text(), text, 10000);
        version = text;
    }

    void moveFile()
    {
        if (!saveAgrees())
            return;
        const QString to = QFileInfo(path).dir().filePath(u"Moved %1.txt"_s.arg(below(1000)));
        if (QFileInfo::exists(to))
            return;
        note(u"moved to "_s + to);
        QVERIFY(QFile::rename(path, to));
        QTRY_COMPARE_WITH_TIMEOUT(n.note->fileUrl().toLocalFile(), to, 10000);
        path = to;
    }

    // The note writes what the window shows, and the text it would write is the window's.
    bool agrees()
    {
        const QString shown = n.view->text();
        if (n.note->text() != shown || n.view->snapshot().bytes().joined() != shown.toUtf8()) {
            QTest::qFail("the note's text differs from the window's", __FILE__, __LINE__);
            return false;
        }
        // Half a character would be written as "?": a byte the window does not show.
        if (!shown.isValidUtf16()) {
            QTest::qFail("the window holds half a character", __FILE__, __LINE__);
            return false;
        }
        return true;
    }

    bool saveAgrees()
    {
        note(u"save"_s);
        n.note->saveDocument();
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(!n.note->isDocumentEdited(), 10000);
            n.note->finishWrites();
            QCOMPARE(TestSupport::readBytes(path), n.view->text().toUtf8());
        }();
        return !QTest::currentTestFailed();
    }

    // Undoing every step since the file was last read gives back its text; redoing as many, the text again.
    bool undoAgrees()
    {
        if (n.view->isLoading())
            return true;
        note(u"undo all"_s);
        const QString now = n.view->text();
        QTextDocument *document = n.view->document();
        int undos = 0;
        // The step below the version read is the reload itself, which gives back the text before it.
        for (; document->isUndoAvailable() && n.view->text() != version && undos < 20000; ++undos)
            QTest::keyClick(n.view, Qt::Key_Z, Qt::ControlModifier);
        [&] {
            QCOMPARE(n.view->text(), version);
        }();
        // As many redos as undos: steps undone before this stay undone.
        for (int redos = 0; redos < undos; ++redos)
            QTest::keyClick(n.view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        [&] {
            QCOMPARE(n.view->text(), now);
        }();
        return !QTest::currentTestFailed() && agrees();
    }

    ShownNote &n;
    QRandomGenerator random;
    QString path;
    // The text the file had when it was last read.
    QString version;
    QMetaObject::Connection m_loaded;
    const int m_undoEvery = std::max(envNumber("NOLTNOLT_RANDOM_UNDO_EVERY", 300), 1);
};

// The test log cuts long lines: the steps come in parts.
void report(quint32 seed, const ShownNote &n, const RandomUser &user)
{
    const MessageBar *bar = n.editor->window()->findChild<MessageBar *>();
    qWarning("seed %u, bar: %s", seed, bar && bar->isVisible() ? qPrintable(bar->text()) : "none");
    const QString trail = user.trail.right(qEnvironmentVariableIsSet("NOLTNOLT_RANDOM_TRAIL") ? 200000 : 3000);
    for (qsizetype at = 0; at < trail.size(); at += 500)
        qWarning("steps: %s", qPrintable(trail.mid(at, 500)));
}

} // namespace

class TestRandomUser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Seeds that once found a fault stay as rows; NOLTNOLT_RANDOM_SEEDS and NOLTNOLT_RANDOM_STEPS run more.
    void keepsWindowNoteAndFileTheSame_data()
    {
        // The rest of a big note is let go of in parts while it loads.
        NoteLoader::compactPendingAbove = 1024 * 1024;
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("steps");
        const int steps = envNumber("NOLTNOLT_RANDOM_STEPS", 600);
        const int seeds = envNumber("NOLTNOLT_RANDOM_SEEDS", 0);
        for (int seed = 1; seed <= seeds; ++seed)
            QTest::addRow("seed %d", seed) << QByteArray("start\n") << quint32(seed) << steps;
        // A big note and a long line: the cut lines, the mirror and the text still loading keep the same rules,
        // also for edits made before the whole note is in.
        const int bigSteps = envNumber("NOLTNOLT_RANDOM_BIG_STEPS", 120);
        QTest::newRow("seed 5: 5 MB single line")
            << QByteArray("word é 🌱 ").repeated(5 * 1024 * 1024 / 14) << 5u << bigSteps;
        QTest::newRow("seed 6: 20 MB note")
            << QByteArray("a line of the note\r\n").repeated(20 * 1024 * 1024 / 20) << 6u << bigSteps;
        if (seeds > 0)
            return;
        // Each of these once ended in a question about a version on disk that held our own bytes, put back after
        // the note had been moved; each also came on a caret left inside an emoji by a reload.
        QTest::newRow("seed 7: mixed endings") << QByteArray("one\r\ntwo\rthree\nfour 🌱\r\n") << 7u << steps;
        QTest::newRow("seed 2: empty note") << QByteArray() << 2u << steps;
        QTest::newRow("seed 3: emoji and marks") << QByteArray("👩‍💻 e\u0301 漢字 שלום\n") << 3u << steps;
    }

    void keepsWindowNoteAndFileTheSame()
    {
        QFETCH(QByteArray, file);
        QFETCH(quint32, seed);
        QFETCH(int, steps);
        ShownNote n(file);
        if (file.size() > 1024 * 1024) {
            // Looking around does not wait for the rest of a big note.
            n.view->setSelectedRange({0, 0});
            for (const Qt::Key key : {Qt::Key_Shift, Qt::Key_Down, Qt::Key_PageDown})
                QTest::keyClick(n.view, key);
            QVERIFY(n.view->isLoading());
        }
        RandomUser user(n, seed);
        if (!user.run(steps))
            report(seed, n, user);
    }
};

int main(int argc, char **argv)
{
    return TestSupport::runInOwnHome<TestRandomUser>(argc, argv);
}

#include "tst_randomuser.moc"
