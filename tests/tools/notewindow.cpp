// Opens one note in an editor window, as the app does, and plays a script from stdin against it, for tests that
// need the window in a process of its own: under injected faults, inside a mount namespace, or killed.
//   notewindow FILE [RECOVERYFOLDER] < script
// Script lines:
//   type TEXT      appends TEXT at the end as typing does
//   wait MS        lets the window run for MS milliseconds
//   sh COMMAND     runs COMMAND with sh -c and waits for it
//   settle         waits until the pending save has run and its write has landed
//   text           prints "text <the window's text>" with \n and \\ escaped
//   state          prints "edited 0|1" and "retry 0|1" (a retry of a failed save is pending)
//   quit           writes what is unsaved as closing does and exits; prints "closed 1|0"
// It prints "error <description>" for each alert shown, as it happens.
#include "editor/editor.h"
#include "editor/notetextview.h"
#include "framework/error.h"
#include "framework/recoverystore.h"
#include "storage/plaintextdocument.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextCursor>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class Player : public QObject
{
public:
    Player(PlainTextDocument *note, Editor *editor, QStringList script)
        : m_note(note)
        , m_editor(editor)
        , m_script(std::move(script))
    {
        QTimer::singleShot(0, this, [this] { next(); });
    }

private:
    void next()
    {
        if (m_script.isEmpty()) {
            quit();
            return;
        }
        const QString rest = m_script.first().section(u' ', 1);
        const QString word = m_script.takeFirst().section(u' ', 0, 0);
        if (word == u"type") {
            QTextCursor cursor(m_editor->textView()->document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(rest);
        } else if (word == u"wait") {
            QTimer::singleShot(rest.toInt(), this, [this] { next(); });
            return;
        } else if (word == u"sh") {
            QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), rest});
        } else if (word == u"settle") {
            settle();
            return;
        } else if (word == u"text") {
            QString text = m_editor->textView()->text();
            text.replace(u'\\', QStringLiteral("\\\\")).replace(u'\n', QStringLiteral("\\n"));
            say(QStringLiteral("text ") + text);
        } else if (word == u"state") {
            say(QStringLiteral("edited %1").arg(int(m_note->isDocumentEdited())));
            say(QStringLiteral("retry %1").arg(int(m_editor->pendingRetry() != nullptr)));
        } else if (word == u"quit") {
            quit();
            return;
        }
        QTimer::singleShot(0, this, [this] { next(); });
    }

    void settle()
    {
        if (m_editor->pendingSave() && m_editor->pendingSave()->isActive()) {
            QTimer::singleShot(20, this, [this] { settle(); });
            return;
        }
        m_note->finishWrites();
        QTimer::singleShot(0, this, [this] { next(); });
    }

    void quit()
    {
        const bool closed = m_note->prepareToClose();
        say(QStringLiteral("closed %1").arg(int(closed)));
        QCoreApplication::exit(closed ? 0 : 1);
    }

    PlainTextDocument *m_note;
    Editor *m_editor;
    QStringList m_script;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return 2;
    std::unique_ptr<RecoveryStore> store;
    if (args.size() > 2) {
        store = std::make_unique<RecoveryStore>(args.at(2));
        Document::setRecoveryStore(store.get());
    }
    // A conflict keeps both: the window's text wins and the other version is in the test's hands.
    Document::setConflictResolver([](Document *) { return Document::Conflict::KeepMine; });

    QFile in;
    in.open(stdin, QIODevice::ReadOnly);
    const QStringList script = QString::fromUtf8(in.readAll()).split(u'\n', Qt::SkipEmptyParts);

    auto note = std::make_unique<PlainTextDocument>();
    note->setFileUrl(QUrl::fromLocalFile(QFileInfo(args.at(1)).absoluteFilePath()));
    note->readFromUrl(note->fileUrl(), QString::fromLatin1(PlainTextDocument::typeName)); // a failure aborts the run
    note->addWindowController(new Editor(note->fileUrl(), note->text()));
    note->showWindows();
    auto *editor = qobject_cast<Editor *>(note->windowControllers().first());
    QObject::connect(editor, &WindowController::errorPresented, &app,
                     [](const Error &error) { say(QStringLiteral("error ") + error.description()); });

    Player player(note.get(), editor, script);
    const int status = app.exec();
    note->close();
    Document::setRecoveryStore(nullptr);
    return status;
}
