// Prints what typing and opening cost in big notes: our own work per keystroke (word count, change count,
// save timer) and a whole keystroke until painted at 1 MB and 20 MB, the main thread's share of an autosave, a Save,
// and the write before closing, the time to open a 20 MB note (first screen, longest stall while the rest comes in),
// opening and typing in a single line of 1 MB and 16 MB, and keys typed while a 100 MB note loads. Run by hand:
// build/bench/bench_editor
#include "editor/window/editor.h"
#include "editor/view/notetextview.h"
#include "editor/view/wordcounter.h"
#include "framework/contentdigest.h"
#include "framework/posixfile.h"
#include "storage/plaintextdocument.h"
#include "storage/notecodec.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int keystrokes = 400;

// Prose-like text: lines of words with some accents, emoji and Chinese, blank lines between paragraphs.
QByteArray sampleNote(qsizetype bytes)
{
    const QList<QByteArray> words = {"note",   "plain", "text",  "café",   "the",       "of",    "and",  "🌱",
                                     "中文词", "naïve", "word",  "count",  "e.g.",      "a:b",   "1234", "typing",
                                     "file",   "save",  "quick", "window", "paragraph", "Ärger", "x",    "—"};
    QByteArray note;
    note.reserve(bytes + 128);
    quint32 state = 12345;
    int lineLength = 0;
    int lines = 0;
    while (note.size() < bytes) {
        state = state * 1103515245u + 12345u;
        const QByteArray &word = words[(state >> 16) % words.size()];
        note += word;
        lineLength += int(word.size()) + 1;
        if (lineLength > 72) {
            note += ++lines % 6 == 0 ? "\n\n" : "\n";
            lineLength = 0;
        } else {
            note += ' ';
        }
    }
    return note;
}

double milliseconds(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

double median(std::vector<qint64> samples)
{
    std::sort(samples.begin(), samples.end());
    return milliseconds(samples[samples.size() / 2]);
}

// Writes a note for a run to measure; a bench without its file measures nothing.
void writeNote(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
}

// Opens the note at path in an editor window, as the app does, and lets it show.
Editor *editorOf(const Document &note)
{
    return qobject_cast<Editor *>(WindowController::of(&note).constFirst());
}

void showNote(PlainTextDocument &note, const QString &path)
{
    note.setFileUrl(QUrl::fromLocalFile(path));
    note.takeLoaded(LoadedFile::read(note.fileUrl(), note.decoder(), false));
    Editor::openFor(&note);
    editorOf(note)->showWindow();
    QApplication::processEvents();
}

// This thread's processor time, which a wait for the writer does not count.
double threadMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The main thread's share of each way a note is written: from the call until the write's report is taken in.
void measureSaves(PlainTextDocument &note, qsizetype size)
{
    std::vector<qint64> autosave, save, close, blocked;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 5; ++i) {
        note.updateChangeCount(Document::ChangeType::Done);
        double start = threadMs();
        note.autosave({});
        note.finishWrites();
        autosave.push_back(qint64((threadMs() - start) * 1e6));
        note.updateChangeCount(Document::ChangeType::Done);
        start = threadMs();
        const qint64 wall = clock.nsecsElapsed();
        note.saveDocument();
        blocked.push_back(clock.nsecsElapsed() - wall);
        note.finishWrites();
        save.push_back(qint64((threadMs() - start) * 1e6));
        note.updateChangeCount(Document::ChangeType::Done);
        start = threadMs();
        if (note.writeNow())
            std::abort();
        close.push_back(qint64((threadMs() - start) * 1e6));
    }
    std::printf("%6.1f MB  main thread's share of writing the note: autosave %.2f ms, Save %.2f ms (the window waits "
                "%.2f ms), before closing or quitting %.2f ms; encoding and syncing run on the writer\n",
                double(size) / 1e6, median(autosave), median(save), median(blocked), median(close));
}

std::pair<double, double> untilLoaded(NoteTextView *view);

// One keystroke into view, in the middle of the text, the way the window system delivers it; until painted, also
// what it has the window do before the next key (the paragraph's spelling, the repaint).
qint64 typeOneKey(NoteTextView *view, QElapsedTimer &clock, bool untilPainted)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    const qint64 start = clock.nsecsElapsed();
    QApplication::sendEvent(view, &press);
    if (untilPainted)
        QCoreApplication::processEvents();
    const qint64 took = clock.nsecsElapsed() - start;
    QApplication::sendEvent(view, &release);
    return took;
}

std::vector<qint64> typeKeys(NoteTextView *view, bool untilPainted = false)
{
    view->setSelectedRange({view->textLength() / 2, 0});
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> samples;
    for (int i = 0; i < keystrokes; ++i)
        samples.push_back(typeOneKey(view, clock, untilPainted));
    return samples;
}

void measureTyping(const QString &folder, qsizetype size)
{
    const QByteArray bytes = sampleNote(size);
    const QString path = folder + QStringLiteral("/Typing %1.txt").arg(size);
    writeNote(path, bytes);

    PlainTextDocument note;
    showNote(note, path);
    auto *editor = editorOf(note);
    // Keys typed while the note still loads are held for later, and would cost nothing here.
    untilLoaded(editor->textView());
    // For scale: a whole keystroke, Qt's insert and layout included.
    const double keystroke = median(typeKeys(editor->textView()));
    const double painted = median(typeKeys(editor->textView(), true));

    // The count's share of an edit: the same text in a document with nothing but a counter listening, told that
    // one character in the middle changed.
    QTextDocument counted;
    counted.setPlainText(editor->textView()->document()->toRawText());
    const WordCounter counter(&counted);
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> recount;
    const int middle = counted.characterCount() / 2;
    for (int i = 0; i < keystrokes; ++i) {
        const qint64 start = clock.nsecsElapsed();
        Q_EMIT counted.contentsChange(middle + i % 64, 1, 1);
        recount.push_back(clock.nsecsElapsed() - start);
    }

    // The edit handler: show the count, mark the note changed, restart the save timer.
    std::vector<qint64> handler;
    for (int i = 0; i < keystrokes; ++i) {
        const qint64 start = clock.nsecsElapsed();
        editor->textDidChange();
        handler.push_back(clock.nsecsElapsed() - start);
    }
    editor->document()->pendingSave()->stop();

    measureSaves(note, bytes.size());
    // The writer thread's share, before the file system's: the text's bytes, and their digest.
    std::vector<qint64> encode;
    std::vector<qint64> digest;
    for (int i = 0; i < 5; ++i) {
        const auto task = editor->presentedBytesSnapshot();
        qint64 start = clock.nsecsElapsed();
        const ByteParts saved = task();
        encode.push_back(clock.nsecsElapsed() - start);
        start = clock.nsecsElapsed();
        const QByteArray sum = ContentDigest::of(saved);
        digest.push_back(clock.nsecsElapsed() - start);
    }
    std::printf("%6.1f MB  autosave, writer thread: encoding %.1f ms, digest %.1f ms (then write and sync)\n",
                double(bytes.size()) / 1e6, median(encode), median(digest));

    const double recountMs = median(recount);
    const double handlerMs = median(handler);
    std::printf("%6.1f MB  keystroke, our own work: %.4f ms (paragraph recount %.4f ms + edit handler %.4f ms); "
                "whole keystroke with Qt's insert and layout %.3f ms, and until painted %.3f ms\n",
                double(bytes.size()) / 1e6, recountMs + handlerMs, recountMs, handlerMs, keystroke, painted);
    std::fflush(stdout);
    note.close();
}

// Runs the event loop until view has all of its note; the time that took and the longest turn of the loop.
std::pair<double, double> untilLoaded(NoteTextView *view)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    while (view->isLoading()) {
        QApplication::processEvents();
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    }
    QApplication::processEvents();
    return {milliseconds(clock.nsecsElapsed()), milliseconds(longest)};
}

// A note of one line of words: open it, then type in its middle.
void measureLongLine(const QString &folder, qsizetype size)
{
    const QString path = folder + QStringLiteral("/Long %1.txt").arg(size);
    writeNote(path, QByteArray("word ").repeated(size / 5));
    QElapsedTimer clock;
    clock.start();
    PlainTextDocument note;
    showNote(note, path);
    const double shown = milliseconds(clock.nsecsElapsed());
    auto *view = editorOf(note)->textView();
    const auto [loading, stall] = untilLoaded(view);
    view->setSelectedRange({view->textLength() / 2, 0});
    QApplication::processEvents();
    std::vector<qint64> keys;
    for (int i = 0; i < 50; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        const qint64 start = clock.nsecsElapsed();
        QApplication::sendEvent(view, &press);
        QApplication::processEvents(); // spelling, count and repaint of what changed
        keys.push_back(clock.nsecsElapsed() - start);
    }
    std::printf("%6.1f MB single line: first screen %.0f ms, the rest %.0f ms (longest stall %.1f ms); keystroke with "
                "spelling, count and repaint %.2f ms\n",
                double(size) / 1e6, shown, loading, stall, median(keys));
    std::fflush(stdout);
    note.updateChangeCount(Document::ChangeType::Cleared);
    note.close();
}

void measureOpening(const QString &folder, qsizetype size)
{
    const QByteArray bytes = sampleNote(size);
    const QString path = folder + QStringLiteral("/Open.txt");
    writeNote(path, bytes);

    QElapsedTimer clock;
    clock.start();
    const bool valid = NoteCodec::isValid(bytes);
    const qint64 validate = clock.nsecsElapsed();
    clock.restart();
    const std::optional<QString> decoded = NoteCodec::decode(bytes);
    const qint64 decode = clock.nsecsElapsed();
    if (!valid || !decoded)
        std::abort();

    clock.restart();
    {
        PlainTextDocument fromBytes;
        fromBytes.setText(fromBytes.decoder()(bytes, {}));
    }
    const qint64 readBytes = clock.nsecsElapsed();

    clock.restart();
    NoteTextView bare;
    bare.setText(*decoded);
    const qint64 setText = clock.nsecsElapsed();
    clock.restart();
    {
        const WordCounter counter(bare.document());
    }
    const qint64 count = clock.nsecsElapsed();

    clock.restart();
    auto note = std::make_unique<PlainTextDocument>();
    note->setFileUrl(QUrl::fromLocalFile(path));
    note->takeLoaded(LoadedFile::read(note->fileUrl(), note->decoder(), false));
    const qint64 read = clock.nsecsElapsed();
    clock.restart();
    Editor::openFor(note.get());
    const qint64 build = clock.nsecsElapsed();
    clock.restart();
    editorOf(*note)->showWindow();
    QApplication::processEvents();
    const qint64 show = clock.nsecsElapsed();
    auto *view = editorOf(*note)->textView();
    const auto [loading, stall] = untilLoaded(view);
    std::printf("%6.1f MB  after the first screen: rest loaded and counted in %.0f ms, longest stall %.1f ms\n",
                double(bytes.size()) / 1e6, loading, stall);
    clock.restart();
    auto *editor = editorOf(*note);
    const QString text = editor->textView()->text();
    const qint64 takeText = clock.nsecsElapsed();
    Q_UNUSED(text);

    std::printf("%6.1f MB  open: %.0f ms = read, validate, decode %.0f ms (validate alone %.0f ms = %.2f GB/s, "
                "decode alone %.0f ms) + window with text and count %.0f ms + show %.0f ms\n",
                double(bytes.size()) / 1e6, milliseconds(read + build + show), milliseconds(read),
                milliseconds(validate), double(bytes.size()) / double(validate), milliseconds(decode),
                milliseconds(build), milliseconds(show));
    std::printf("%6.1f MB  of the reading: the document's read() of bytes in memory %.0f ms, the rest is the file\n",
                double(bytes.size()) / 1e6, milliseconds(readBytes));
    std::printf("%6.1f MB  of the window: text into the view alone %.0f ms, first count alone %.0f ms\n",
                double(bytes.size()) / 1e6, milliseconds(setText), milliseconds(count));
    std::printf("%6.1f MB  whole text out of the view as one string (a save takes a snapshot instead): %.0f ms\n",
                double(bytes.size()) / 1e6, milliseconds(takeText));
    std::fflush(stdout);
    clock.restart();
    note->close();
}

// A key typed right after a big note opened, while the rest of it still comes into the view: typed into what is
// shown, it costs the window no work that grows with the note.
void measureKeyWhileLoading(const QString &folder, qsizetype size)
{
    const QString path = folder + QStringLiteral("/Loading.txt");
    writeNote(path, sampleNote(size));
    auto note = std::make_unique<PlainTextDocument>();
    note->setFileUrl(QUrl::fromLocalFile(path));
    note->takeLoaded(LoadedFile::read(note->fileUrl(), note->decoder(), false));
    Editor::openFor(note.get());
    editorOf(*note)->showWindow();
    QApplication::processEvents();
    auto *view = editorOf(*note)->textView();
    view->setFocus();
    QElapsedTimer clock;
    double slowest = 0;
    for (const auto &[key, text] : {std::pair{0, QStringLiteral("x")}, std::pair{int(Qt::Key_Backspace), QString()},
                                    std::pair{int(Qt::Key_Return), QStringLiteral("\r")}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        clock.restart();
        QApplication::sendEvent(view, &press);
        slowest = std::max(slowest, milliseconds(clock.nsecsElapsed()));
    }
    const bool loading = view->isLoading();
    const auto [held, stall] = untilLoaded(view);
    std::printf("%6.1f MB  keys typed while the note loads (%s): window-thread wait for the first key, slowest "
                "%.2f ms; in the text %.0f ms later (longest stall %.1f ms)\n",
                double(size) / 1e6, loading ? "still loading after them" : "loaded by them", slowest, held, stall);
    std::fflush(stdout);
    note->close();
}

} // namespace

int main(int argc, char **argv)
{
    PosixFile::mapLargeBlocks(); // as the app does
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    measureLongLine(folder.path(), 1'000'000);
    measureLongLine(folder.path(), 16'000'000);
    measureTyping(folder.path(), 1'000'000);
    measureTyping(folder.path(), 20'000'000);
    measureOpening(folder.path(), 20'000'000);
    measureKeyWhileLoading(folder.path(), 20'000'000);
    measureKeyWhileLoading(folder.path(), 100'000'000);
    return 0;
}
