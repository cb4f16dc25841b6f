#include "editor/notetextview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextStream>

#include <cstdio>

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

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void measure(const char *name, const QString &note)
{
    QElapsedTimer timer;
    double qtSet = 0;
    {
        QPlainTextEdit plain;
        timer.start();
        plain.setPlainText(note);
        qtSet = milliseconds(timer);
    }
    NoteTextView view;
    timer.start();
    view.setText(note);
    const double set = milliseconds(timer);
    timer.start();
    const QString text = view.text();
    const double get = milliseconds(timer);
    timer.start();
    const qsizetype length = view.textLength();
    const double len = milliseconds(timer);
    timer.start();
    view.setSelectedRange({note.size() - 10, 5});
    const NoteTextView::Range range = view.selectedRange();
    const double select = milliseconds(timer);
    std::printf("%-26s setText %8.1f ms (Qt setPlainText %8.1f ms)  text() %6.1f ms  textLength %6.1f ms  "
                "select at end %6.1f ms  %s\n",
                name, set, qtSet, get, len, select,
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
