#include "editor/window/windowquestions.h"

#include "editor/window/windowcontroller.h"
#include "framework/document.h"
#include "framework/filenames.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

namespace {

void askWhichVersion(NoteMessages *messages, const QString &name, const LineDiff &difference,
                     const std::function<void(NoteQuestions::Conflict)> &answer)
{
    const auto choose = [messages, answer](NoteQuestions::Conflict given) {
        return [messages, answer, given] {
            messages->dismissMessage(MessageKind::Conflict);
            answer(given);
        };
    };
    const QString text =
        WindowQuestions::tr("“%1” was changed by another program while you were editing it. Until you choose, your "
                            "text is not saved over it. Keep Both or Keep My Text keeps theirs in a copy beside it; "
                            "Reload puts their text in place of yours, and Undo brings yours back.")
            .arg(name);
    const QString differs = WindowQuestions::describe(difference);
    messages->showMessage(MessageKind::Conflict, differs.isEmpty() ? text : text + u'\n' + differs,
                          {{WindowQuestions::tr("Keep Both"), choose(NoteQuestions::Conflict::KeepBoth)},
                           {WindowQuestions::tr("Keep My Text"), choose(NoteQuestions::Conflict::KeepMine)},
                           {WindowQuestions::tr("Reload"), choose(NoteQuestions::Conflict::UseDisk)}});
}

QString quoted(const QStringList &lines, qsizetype count)
{
    if (count == 0)
        return WindowQuestions::tr("nothing");
    QStringList shown;
    for (const QString &line : lines)
        shown.append(WindowQuestions::tr("“%1”").arg(line));
    const qsizetype more = count - lines.size();
    return more > 0 ? WindowQuestions::tr("%1 and %n more line(s)", nullptr, int(more)).arg(shown.join(u' '))
                    : shown.join(u' ');
}

std::optional<QString> askForFileName(QWidget *window, const QString &currentName)
{
    QInputDialog dialog(window);
    dialog.setWindowTitle(WindowQuestions::tr("Rename"));
    dialog.setLabelText(WindowQuestions::tr("New name for “%1”:").arg(currentName));
    dialog.setTextValue(currentName);
    dialog.setOkButtonText(WindowQuestions::tr("Rename"));
    // Only the name is selected, not its extension: typing replaces the name and keeps the kind of file.
    QTimer::singleShot(0, &dialog, [&dialog, currentName] {
        if (auto *edit = dialog.findChild<QLineEdit *>()) {
            const qsizetype dot = currentName.lastIndexOf(u'.');
            edit->setSelection(0, dot > 0 ? dot : currentName.size());
        }
    });
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> askForFolder(QWidget *window, const QString &currentFolder)
{
    QFileDialog dialog(window, WindowQuestions::tr("Move To"), currentFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, WindowQuestions::tr("Move"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> askForSaveAsPath(QWidget *window, const QString &currentPath)
{
    // Next to the note when its folder takes files, else in the home folder.
    const QFileInfo current(currentPath);
    const bool writable = ::access(FileNames::encodeName(current.absolutePath()).constData(), W_OK) == 0;
    const QString folder = writable ? current.absolutePath() : QDir::homePath();
    QFileDialog dialog(window, WindowQuestions::tr("Save As"), folder + u'/' + current.fileName());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

NoteQuestions::UnsavedChoice askToCloseUnsaved(QWidget *window, const QString &name, const Error &reason)
{
    QMessageBox box(QMessageBox::Warning, name, WindowQuestions::tr("“%1” could not be saved.").arg(name),
                    QMessageBox::NoButton, window);
    box.setInformativeText(reason.description() + u'\n' +
                           WindowQuestions::tr("If you close it without saving, its text is kept for recovery."));
    QPushButton *saveAs = box.addButton(WindowQuestions::tr("Save As…"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(WindowQuestions::tr("Close Without Saving"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(saveAs);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == saveAs)
        return NoteQuestions::UnsavedChoice::SaveAs;
    return box.clickedButton() == discard ? NoteQuestions::UnsavedChoice::CloseWithoutSaving
                                          : NoteQuestions::UnsavedChoice::Cancel;
}

// A note without a window has nowhere to ask; the menu reaches notes only through their windows anyway.
WindowController *firstWindow(const Document *note)
{
    const QList<WindowController *> windows = WindowController::of(note);
    return windows.isEmpty() ? nullptr : windows.constFirst();
}

} // namespace

NoteQuestions WindowQuestions::make()
{
    NoteQuestions questions;
    questions.whichVersion = [](Document *note, const LineDiff &difference,
                                const std::function<void(NoteQuestions::Conflict)> &answer) {
        WindowController *controller = firstWindow(note);
        const QPointer<Document> target(note);
        const auto answered = [target, answer](NoteQuestions::Conflict given) {
            if (target)
                answer(given);
        };
        if (controller) {
            askWhichVersion(controller, note->displayName(), difference, answered);
            return;
        }
        // Without a window the text held here is all the user last saw of it: it is kept (theirs beside it), from
        // the event loop, as the user's answer would come.
        QTimer::singleShot(0, note, [answered] { answered(NoteQuestions::Conflict::KeepMine); });
    };
    questions.closeUnsaved = [](Document *note, const Error &reason) {
        WindowController *controller = firstWindow(note);
        return controller ? askToCloseUnsaved(controller->window(), note->displayName(), reason)
                          : NoteQuestions::UnsavedChoice::CloseWithoutSaving;
    };
    questions.newFileName = [](Document *note) -> std::optional<QString> {
        WindowController *controller = firstWindow(note);
        return controller ? askForFileName(controller->window(), note->displayName()) : std::nullopt;
    };
    questions.destinationFolder = [](Document *note) -> std::optional<QString> {
        WindowController *controller = firstWindow(note);
        return controller
                   ? askForFolder(controller->window(), QFileInfo(FileNames::pathOfUrl(note->fileUrl())).absolutePath())
                   : std::nullopt;
    };
    questions.saveAsPath = [](Document *note) -> std::optional<QString> {
        WindowController *controller = firstWindow(note);
        return controller ? askForSaveAsPath(controller->window(), FileNames::pathOfUrl(note->fileUrl()))
                          : std::nullopt;
    };
    return questions;
}

QString WindowQuestions::describe(const LineDiff &difference)
{
    if (difference.isSame())
        return {};
    return tr("From line %1, yours: %2; theirs: %3.")
        .arg(difference.firstLine)
        .arg(quoted(difference.ours, difference.oursCount), quoted(difference.theirs, difference.theirsCount));
}
