#include "editor/view/notetextview.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextStream>

#include <cstdio>
#include <ctime>

namespace {

// Prose-like lines of about 60 characters with the given ending, up to size UTF-16 units.
QString makeNote(qsizetype size, const QString &ending, const QString &otherEnding = {})
{
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog, and then some.");
    QString text;
    text.reserve(size + line.size() + 2);
    for (qsizetype n = 0; text.size() < size; ++n) {
        text += line;
        text += (!otherEnding.isEmpty() && n % 2) ? otherEnding : ending;
    }
    return text;
}

// CPU time of this thread: the machine is shared, so wall time says more about the neighbours than about us.
class CpuTimer
{
public:
    void start() { m_start = now(); }
    double milliseconds() const { return (now() - m_start) * 1e3; }

private:
    static double now()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }
    double m_start = 0;
};

void measure(const char *name, const QString &note)
{
    CpuTimer timer;
    double qtSet = 0;
    {
        QPlainTextEdit plain;
        timer.start();
        plain.setPlainText(note);
        qtSet = timer.milliseconds();
    }
    NoteTextView view;
    timer.start();
    view.setText(note);
    const double set = timer.milliseconds();
    timer.start();
    const QString raw = view.document()->toRawText();
    const double rawText = timer.milliseconds();
    timer.start();
    const QString text = view.text();
    const double get = timer.milliseconds();
    timer.start();
    const qsizetype length = view.textLength();
    const double len = timer.milliseconds();
    timer.start();
    view.setSelectedRange({note.size() - 10, 5});
    const NoteTextView::Range range = view.selectedRange();
    const double select = timer.milliseconds();
    std::printf(
        "%-26s setText %8.1f ms (Qt setPlainText %8.1f ms)  text() %6.1f ms (toRawText %6.1f ms)  textLength %6.1f ms  "
        "select at end %6.1f ms  %s\n",
        name, set, qtSet, get, rawText, len, select,
        text == note && length == note.size() && range.length == 5 ? "exact" : "MISMATCH");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype megabyte = 1024 * 1024;
    for (const qsizetype size : {megabyte, 20 * megabyte}) {
        const QByteArray label = QByteArray::number(size / megabyte) + " MB";
        measure((label + " LF").constData(), makeNote(size, QStringLiteral("\n")));
        measure((label + " CRLF").constData(), makeNote(size, QStringLiteral("\r\n")));
        measure((label + " CRLF/LF alternating").constData(),
                makeNote(size, QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    return 0;
}
