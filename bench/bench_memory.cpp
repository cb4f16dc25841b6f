// Prints the peak memory of opening a big file, beside its size: Qt's own text document given the whole text (what
// any editor built on it pays at least), and the file opened as a note in a window, with everything our opening
// does. Each is measured in a process of its own. Run by hand: build/bench/bench_memory FILE
#include "editor/window/editor.h"
#include "editor/view/notetextview.h"
#include "framework/filenames.h"
#include "framework/posixfile.h"
#include "storage/plaintextdocument.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextDocumentLayout>
#include <QTextDocument>

#include <cstdio>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// The peak and the current resident memory of this process, in MB.
std::pair<double, double> memory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    double peak = 0;
    double now = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() >= 2 && fields.first() == "VmHWM:")
                peak = fields.at(1).toDouble() / 1024;
            if (fields.size() >= 2 && fields.first() == "VmRSS:")
                now = fields.at(1).toDouble() / 1024;
        }
    }
    return {peak, now};
}

void report(const char *what, double fileMegabytes)
{
    const auto [peak, now] = memory();
    std::printf("%-58s peak %7.0f MB (%.1fx the file), then %7.0f MB\n", what, peak, peak / fileMegabytes, now);
    std::fflush(stdout);
}

void inChild(const std::function<void()> &measure)
{
    const pid_t child = fork();
    if (child == 0) {
        measure();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

void qtTextDocumentAlone(const QString &path, double megabytes)
{
    int argc = 1;
    char name[] = "bench_memory";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QString text;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        text = QString::fromUtf8(file.readAll());
    }
    QTextDocument document;
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    document.setPlainText(text);
    text = QString();
    report("Qt's text document given the text (setPlainText)", megabytes);
}

void openedAsANote(const QString &path, double megabytes)
{
    int argc = 1;
    char name[] = "bench_memory";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    PlainTextDocument note;
    const QUrl url = FileNames::urlOfPath(path);
    note.takeLoaded(LoadedFile::read(url, note.decoder(), false));
    note.setFileUrl(url);
    Editor::openFor(&note);
    auto *editor = static_cast<Editor *>(WindowController::of(&note).constFirst());
    editor->showWindow();
    NoteTextView *view = editor->textView();
    while (view->isLoading())
        QApplication::processEvents();
    QApplication::processEvents();
    report("opened as a note, loaded into its window", megabytes);
    note.close();
}

} // namespace

int main(int argc, char **argv)
{
    PosixFile::mapLargeBlocks(); // as the app does
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString path = FileNames::decodeName(argv[1]);
    const double megabytes = double(QFile(path).size()) / (1024 * 1024);
    std::printf("%s: %.0f MB\n", argv[1], megabytes);
    std::fflush(stdout);
    inChild([&] { qtTextDocumentAlone(path, megabytes); });
    inChild([&] { openedAsANote(path, megabytes); });
    return 0;
}
