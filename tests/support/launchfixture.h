#pragma once

#include "editor/commands/actiondispatcher.h"
#include "editor/view/notetextview.h"
#include "editor/window/windowcontroller.h"
#include "framework/document.h"
#include "framework/filenames.h"
#include "shell/appdelegate.h"
#include "shell/documentcontroller.h"
#include "shell/menubar.h"
#include "support/testsupport.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>

namespace TestSupport {

// The app as a user starts it, with notes in a folder of its own (new notes go to its "Desktop"): launched with
// them, their windows waited for, the last one active with the keyboard in its text. Tests run it in a home of
// their own (runInOwnHome), so that settings and kept texts stay there.
class LaunchFixture
{
public:
    QTemporaryDir dir;
    QStringList errors; // what the app told, when started to collect it; outlives the app that tells it
    std::unique_ptr<AppDelegate> app;

    // A new app, the one before gone first as at a relaunch; collectErrors keeps what it tells out of its windows.
    AppDelegate &start(bool collectErrors = false)
    {
        app.reset();
        app = std::make_unique<AppDelegate>();
        app->setNotesFolder(dir.filePath(QStringLiteral("Desktop")));
        if (collectErrors) {
            app->setErrorPresenter([this](const Error &error) {
                errors.append(error.description() +
                              (error.informativeText().isEmpty() ? QString() : u'\n' + error.informativeText()));
            });
        }
        return *app;
    }

    // The notes of these names, each not there yet written with text.
    QList<QUrl> notes(const QStringList &names, const QByteArray &text = "text")
    {
        QList<QUrl> urls;
        for (const QString &name : names) {
            const QString path = dir.filePath(name);
            if (!QFileInfo::exists(path))
                writeBytes(path, text);
            urls.append(FileNames::urlOfPath(path));
        }
        return urls;
    }

    // Launches the app (a new one unless started) with these files; the windows of those that opened, in the
    // order given (with none given, every window).
    QList<QWidget *> launchUrls(const QList<QUrl> &urls)
    {
        if (!app)
            start();
        app->setLaunchFiles(urls);
        app->applicationDidFinishLaunching();
        return windowsOf(urls);
    }
    QList<QWidget *> launch(const QStringList &names, const QByteArray &text = "text")
    {
        return launchUrls(notes(names, text));
    }
    // The running app opens more, as a file manager hands them over.
    QList<QWidget *> open(const QList<QUrl> &urls)
    {
        app->applicationOpenUrls(urls);
        return windowsOf(urls);
    }

    // Files are read for opening on a worker thread: waits until every open asked for has finished.
    void settle() const { QTRY_VERIFY_WITH_TIMEOUT(!app->documents().isOpening(), 120000); }

    QWidget *windowOf(const QUrl &url) const
    {
        Document *note = app->documents().documentForUrl(url);
        return note ? WindowController::of(note).constFirst()->window() : nullptr;
    }
    QList<QWidget *> windows() const
    {
        QList<QWidget *> found;
        for (Document *note : app->documents().documents())
            found.append(WindowController::of(note).constFirst()->window());
        return found;
    }

    static NoteTextView *viewOf(const QWidget *window) { return window->findChild<NoteTextView *>(); }
    static MenuBar *barOf(const QWidget *window)
    {
        return qobject_cast<MenuBar *>(WindowController::forWindow(window)->menuBar());
    }
    // The menu bar's item that sends command.
    static QAction *itemOf(const QWidget *window, Command command)
    {
        const QList<QAction *> items = barOf(window)->findChildren<QAction *>();
        const auto item = std::find_if(items.begin(), items.end(), [command](QAction *action) {
            return ActionDispatcher::commandOf(action) == command;
        });
        return item == items.end() ? nullptr : *item;
    }

private:
    QList<QWidget *> windowsOf(const QList<QUrl> &urls) const
    {
        settle();
        QList<QWidget *> found;
        for (const QUrl &url : urls) {
            if (QWidget *window = windowOf(url))
                found.append(window);
        }
        if (urls.isEmpty())
            found = windows();
        if (!found.isEmpty()) {
            found.constLast()->activateWindow();
            if (QTest::qWaitForWindowActive(found.constLast()))
                viewOf(found.constLast())->setFocus();
        }
        return found;
    }
};

} // namespace TestSupport
