// Prints how long the window is held by the find bar and by spelling in a 20 MB note: the time the UI thread is
// blocked per search keystroke, the time until the whole note is counted, and the longest single wait for the
// event loop meanwhile (what typing would feel). Run with QT_QPA_PLATFORM=offscreen.
#include "editor/find/findbar.h"
#include "editor/spelling/spellingcommands.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>

namespace {

constexpr qsizetype noteBytes = 20 * 1024 * 1024;

QString bigNote()
{
    const QStringList words{"the",     "quick", "brown",   "fox",    "jumps",  "over", "lazy",  "dog",  "notes",
                            "written", "every", "morning", "before", "coffee", "and",  "again", "tset", "later"};
    QString text;
    text.reserve(noteBytes + 100);
    quint32 seed = 1;
    int column = 0;
    while (text.size() < noteBytes) {
        seed = seed * 1103515245u + 12345u;
        const QString &word = words.at((seed >> 16) % words.size());
        text += word;
        column += int(word.size()) + 1;
        if (column > 70) {
            text += u'\n';
            column = 0;
        } else {
            text += u' ';
        }
    }
    return text;
}

struct Waiting
{
    double totalMs = 0;
    double longestMs = 0;
};

// Runs the event loop until done() holds, timing each pass: the longest pass is how long a keystroke could wait.
Waiting runUntil(const std::function<bool()> &done, int timeoutMs = 120000)
{
    Waiting waiting;
    QElapsedTimer total;
    total.start();
    while (!done() && total.elapsed() < timeoutMs) {
        QElapsedTimer pass;
        pass.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        waiting.longestMs = std::max(waiting.longestMs, pass.nsecsElapsed() / 1e6);
    }
    waiting.totalMs = total.nsecsElapsed() / 1e6;
    return waiting;
}

double timed(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString text = bigNote();

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *view = new QPlainTextEdit(&window);
    auto *bar = new FindBar(view, &window);
    layout->addWidget(view);
    layout->addWidget(bar);
    window.resize(780, 600);
    window.show();

    std::printf("note: %.1f MB, %lld characters\n", text.toUtf8().size() / 1048576.0, qlonglong(text.size()));
    std::printf("setPlainText: %.0f ms\n", timed([&] { view->setPlainText(text); }));
    const Waiting layoutPass = runUntil([] { return false; }, 3000);
    std::printf("without spelling: longest event-loop pass after opening %.1f ms\n", layoutPass.longestMs);
    SpellingCommands *spelling = nullptr;
    double attach = timed([&] { spelling = new SpellingCommands(view, &window); });
    const Waiting firstPass = runUntil([] { return false; }, 3000);
    std::printf("spelling attached: %.1f ms, then longest event-loop pass %.1f ms (first highlighting pass)\n", attach,
                firstPass.longestMs);

    bar->showFind();
    for (const QString &typed : {QStringLiteral("f"), QStringLiteral("o"), QStringLiteral("x")}) {
        const double blocked = timed([&] { QTest::keyClicks(bar->searchField(), typed); });
        const Waiting counting = runUntil([bar] { return bar->matchCount() >= 0; });
        std::printf("search \"%s\": UI blocked %.1f ms by the keystroke; full count %lld after %.0f ms, longest "
                    "event-loop pass meanwhile %.1f ms\n",
                    qPrintable(bar->searchText()), blocked, qlonglong(bar->matchCount()), blocked + counting.totalMs,
                    counting.longestMs);
    }

    // Typing in the note while a search is open: each edit recounts.
    view->setFocus();
    view->moveCursor(QTextCursor::End);
    double longestKey = 0;
    for (int i = 0; i < 20; ++i) {
        longestKey = std::max(longestKey, timed([&] { QTest::keyClick(view, 'a'); }));
        longestKey = std::max(longestKey, runUntil([] { return false; }, 20).longestMs);
    }
    const Waiting recount = runUntil([bar] { return bar->matchCount() >= 0; });
    std::printf("typing with the bar open: longest keystroke or event-loop pass %.1f ms; recount done %.0f ms after "
                "the last key\n",
                longestKey, recount.totalMs);

    const double toEnd = timed([&] {
        view->moveCursor(QTextCursor::Start);
        view->ensureCursorVisible();
    });
    const Waiting scroll = runUntil([] { return false; }, 200);
    std::printf("jump to the top: %.1f ms, longest event-loop pass after it %.1f ms\n", toEnd, scroll.longestMs);
    std::printf("spelling removed (closing the note): %.0f ms\n", timed([&] { delete spelling; }));
    return 0;
}
