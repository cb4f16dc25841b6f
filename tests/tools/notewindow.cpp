// Opens one note in an editor window, as the app does, and plays a script from stdin against it, for tests that
// need the window in a process of its own: under injected faults, inside a mount namespace, or killed.
//   notewindow FILE [RECOVERYFOLDER] < script
//   notewindow --app FILE < script     the whole app opens FILE, and quit ends it as the app ends
// Script lines:
//   type TEXT      appends TEXT at the end as typing does
//   wait MS        lets the window run for MS milliseconds
//   sh COMMAND     runs COMMAND with sh -c and waits for it
//   settle         waits until the pending save has run and its write has landed
//   loaded         waits until the whole note is in the window
//   text           prints "text <the window's text>" with \n and \\ escaped
//   state          prints "edited 0|1" and "retry 0|1" (a retry of a failed save is pending)
//   quit           writes what is unsaved as closing does and exits; prints "closed 1|0" (with --app: "ended")
// It prints "error <description>" for each alert shown, as it happens.
#include "editor/window/editor.h"
#include "editor/view/notetextview.h"
#include "shell/appdelegate.h"
#include "shell/documentcontroller.h"
#include "framework/error.h"
#include "framework/linediff.h"
#include "framework/recoverystore.h"
#include "storage/plaintextdocument.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTextCursor>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Lets the window run for ms milliseconds.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool wholeApp = args.size() > 2 && args.at(1) == u"--app";
    if (wholeApp)
        args.removeAt(1);
    if (args.size() < 2)
        return 2;
    std::unique_ptr<RecoveryStore> store;
    NoteServices services;
    if (args.size() > 2) {
        store = std::make_unique<RecoveryStore>(args.at(2));
        services.recovery = store.get();
    }
    // A conflict keeps both: the window's text wins and the other version is in the test's hands.
    services.questions.whichVersion = [](Document *, const LineDiff &,
                                         const std::function<void(NoteQuestions::Conflict)> &answer) {
        answer(NoteQuestions::Conflict::KeepMine);
    };

    QFile in;
    in.open(stdin, QIODevice::ReadOnly);
    const QStringList script = QString::fromUtf8(in.readAll()).split(u'\n', Qt::SkipEmptyParts);

    // Opened as the app opens a file: read on the reader thread, then given its window.
    std::unique_ptr<AppDelegate> appDelegate;
    std::unique_ptr<DocumentController> ownDocuments;
    if (wholeApp)
        appDelegate = std::make_unique<AppDelegate>();
    else
        ownDocuments =
            std::make_unique<DocumentController>([&services] { return new PlainTextDocument(&services); },
                                                 [](Document *opened, WindowController *) { Editor::openFor(opened); });
    DocumentController &documents = appDelegate ? appDelegate->documents() : *ownDocuments;
    QPointer<Document> opened;
    bool done = false;
    documents.openDocument(QUrl::fromLocalFile(QFileInfo(args.at(1)).absoluteFilePath()), true,
                           [&](Document *document, bool, const std::optional<Error> &error) {
                               if (error)
                                   say(u"error "_s + error->description());
                               opened = document;
                               done = true;
                           });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!opened)
        return 1;
    auto *note = qobject_cast<PlainTextDocument *>(opened.data());
    auto *editor = qobject_cast<Editor *>(WindowController::of(note).constFirst());
    QObject::connect(editor, &WindowController::errorPresented, &app,
                     [](const Error &error) { say(u"error "_s + error.description()); });

    for (const QString &line : script) {
        const QString word = line.section(u' ', 0, 0), rest = line.section(u' ', 1);
        if (word == u"type") {
            QTextCursor cursor(editor->textView()->document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(rest);
        } else if (word == u"wait") {
            pause(rest.toInt());
        } else if (word == u"sh") {
            QProcess::execute(u"sh"_s, {u"-c"_s, rest});
        } else if (word == u"settle") {
            while (note->pendingSave() && note->pendingSave()->isActive())
                pause(20);
            note->finishWrites();
        } else if (word == u"loaded") {
            while (editor->textView()->isLoading())
                pause(20);
        } else if (word == u"text") {
            QString text = editor->textView()->text();
            say(u"text "_s + text.replace(u'\\', u"\\\\"_s).replace(u'\n', u"\\n"_s));
        } else if (word == u"state") {
            say(u"edited %1"_s.arg(int(note->isDocumentEdited())));
            say(u"retry %1"_s.arg(int(note->pendingRetry() != nullptr)));
        } else if (word == u"quit") {
            break;
        }
        pause(0);
    }
    if (appDelegate) {
        appDelegate.reset();
        say(u"ended"_s);
        return 0;
    }
    const bool closed = !note->writeNow();
    say(u"closed %1"_s.arg(int(closed)));
    note->close();
    return closed ? 0 : 1;
}
