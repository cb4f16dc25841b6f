#include "windowcontroller.h"

#include "framework/document.h"
#include "framework/filenames.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

namespace {

constexpr char controllerProperty[] = "windowController";

} // namespace

WindowController::WindowController(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    m_window->setProperty(controllerProperty, QVariant::fromValue(static_cast<QObject *>(this)));
    m_window->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &WindowController::focusChanged);
}

WindowController::~WindowController()
{
    disconnect(qApp, &QApplication::focusChanged, this, &WindowController::focusChanged);
    if (m_window)
        m_window->removeEventFilter(this);
}

QWidget *WindowController::window() const
{
    return m_window.get();
}

Document *WindowController::document() const
{
    return m_document;
}

void WindowController::setDocument(Document *document)
{
    m_document = document;
    if (!document)
        return;
    // Each message goes when its cause does.
    connect(document, &Document::saved, this, [this] {
        dismissMessage(MessageKind::Conflict); // settled by saving elsewhere
        dismissMessage(MessageKind::SaveFailed);
        dismissMessage(MessageKind::FileChanged);
        dismissMessage(MessageKind::Recovery);
    });
    connect(document, &Document::reloadedFromDisk, this, [this] { dismissMessage(MessageKind::FileChanged); });
    connect(document, &Document::readOnlyChanged, this, &WindowController::showReadOnly);
    showReadOnly(document->isReadOnly());
    showInterruptedSave(document->interruptedSave());
}

void WindowController::showInterruptedSave(const InPlaceSave::Repair &repair)
{
    // Only what was really done is told: "put back" once the note holds its last complete version again.
    const QString name = m_document->displayName();
    QString text;
    if (repair.outcome == InPlaceSave::Repair::Outcome::PutBack)
        text = tr("“%1” was put back to its last complete version: a save was interrupted before it finished. What "
                  "it held then is kept beside it in “%2”.")
                   .arg(name, repair.cutCopy);
    else if (repair.failure)
        text = tr("%1. Its last complete version is kept beside it in “%2”.")
                   .arg(repair.failure->description(), repair.leftover);
    else if (repair.outcome == InPlaceSave::Repair::Outcome::LeftoverKept)
        text = tr("A copy of “%1” left by an interrupted save was found beside it and kept as “%2”; “%1” was not "
                  "changed.")
                   .arg(name, repair.leftover);
    if (!text.isEmpty())
        showMessage(MessageKind::Restored, text, {}, true);
}

QString WindowController::windowTitle(const QString &documentDisplayName) const
{
    return documentDisplayName;
}

void WindowController::synchronizeWindowTitleWithDocumentName()
{
    if (!m_document)
        return;
    const QString readOnly = m_document->isReadOnly() ? tr(" — Read-Only") : QString();
    m_window->setWindowTitle(windowTitle(m_document->displayName()) + readOnly);
    m_window->setWindowFilePath(m_document->fileUrl().isLocalFile() ? FileNames::pathOfUrl(m_document->fileUrl())
                                                                    : QString());
}

void WindowController::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void WindowController::setMenuBar(QMenuBar *menuBar)
{
    if (QLayout *layout = m_window->layout())
        layout->setMenuBar(menuBar);
    else if (menuBar)
        menuBar->setParent(m_window.get());
}

QMenuBar *WindowController::menuBar() const
{
    if (QLayout *layout = m_window->layout())
        return qobject_cast<QMenuBar *>(layout->menuBar());
    return m_window->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly);
}

void WindowController::showMessage(MessageKind kind, const QString &text, const QList<MessageBar::Button> &buttons,
                                   bool closable)
{
    if (!m_messageArea) {
        m_messageArea = new QWidget;
        m_messageArea->setLayout(new QVBoxLayout);
        m_messageArea->layout()->setContentsMargins(0, 0, 0, 0);
        m_messageArea->layout()->setSpacing(0);
        // Above the content (below the menu bar, which the layout keeps apart).
        if (!m_window->layout())
            new QVBoxLayout(m_window.get());
        if (auto *column = qobject_cast<QBoxLayout *>(m_window->layout()))
            column->insertWidget(0, m_messageArea);
        else
            m_window->layout()->addWidget(m_messageArea);
    }
    QPointer<MessageBar> &bar = m_messages[kind];
    if (!bar) {
        bar = new MessageBar;
        m_messageArea->layout()->addWidget(bar);
        connect(bar, &MessageBar::closeRequested, this, [this, kind] { dismissMessage(kind); });
    }
    bar->setMessage(text, buttons, closable);
    bar->show();
}

void WindowController::dismissMessage(MessageKind kind)
{
    MessageBar *bar = m_messages.take(kind);
    if (!bar)
        return;
    const bool hadFocus = bar->isAncestorOf(QApplication::focusWidget());
    bar->hide();
    bar->deleteLater();
    if (hadFocus && m_contentFocus)
        m_contentFocus->setFocus(Qt::OtherFocusReason);
}

MessageBar *WindowController::message(MessageKind kind) const
{
    return m_messages.value(kind);
}

void WindowController::focusChanged(QWidget *, QWidget *now)
{
    if (now && m_window->isAncestorOf(now) && !(m_messageArea && m_messageArea->isAncestorOf(now)))
        m_contentFocus = now;
}

void WindowController::presentError(const Error &error, MessageKind kind)
{
    showMessage(kind, error.description(), {}, true);
    Q_EMIT errorPresented(error);
}

void WindowController::presentSaveFailure(const Error &error)
{
    const QPointer<WindowController> self(this);
    const auto tryAgain = [self] {
        if (!self || !self->m_document)
            return;
        self->m_document->autosave([self](const std::optional<Error> &failure) {
            if (self && failure)
                self->presentSaveFailure(*failure);
            else if (self)
                self->dismissMessage(MessageKind::SaveFailed);
        });
    };
    const auto saveAs = [self] {
        if (self && self->m_document)
            self->m_document->saveDocumentAs(nullptr);
    };
    showMessage(MessageKind::SaveFailed, error.description(), {{tr("Save As…"), saveAs}, {tr("Try Again"), tryAgain}});
    Q_EMIT errorPresented(error);
}

void WindowController::showReadOnly(bool readOnly)
{
    synchronizeWindowTitleWithDocumentName();
    if (!readOnly || !m_document) {
        dismissMessage(MessageKind::ReadOnly);
        return;
    }
    const QPointer<Document> document(m_document);
    showMessage(MessageKind::ReadOnly,
                tr("“%1” is read-only: what you type is not saved to it.").arg(m_document->displayName()),
                {{tr("Save As…"), [document] {
                      if (document)
                          document->saveDocumentAs(nullptr);
                  }}});
}

void WindowController::askWhichVersion(const std::function<void(bool keepMine)> &answer)
{
    const QString name = m_document ? m_document->displayName() : m_window->windowTitle();
    const auto choose = [this, answer](bool keepMine) {
        dismissMessage(MessageKind::Conflict);
        answer(keepMine);
    };
    showMessage(MessageKind::Conflict,
                tr("“%1” was changed by another program while you were editing it. Until you choose, your text is "
                   "not saved over it.")
                    .arg(name),
                {{tr("Keep My Text"),
                  [choose] {
                      choose(true);
                  }},
                 {tr("Reload"), [choose] {
                      choose(false);
                  }}});
}

std::optional<QString> WindowController::askForFileName(const QString &currentName)
{
    QInputDialog dialog(m_window.get());
    dialog.setWindowTitle(tr("Rename"));
    dialog.setLabelText(tr("New name for “%1”:").arg(currentName));
    dialog.setTextValue(currentName);
    dialog.setOkButtonText(tr("Rename"));
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

std::optional<QString> WindowController::askForFolder(const QString &currentFolder)
{
    QFileDialog dialog(m_window.get(), tr("Move To"), currentFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, tr("Move"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> WindowController::askForSaveAsPath(const QString &currentPath)
{
    // Next to the note when its folder takes files, else in the home folder.
    const QFileInfo current(currentPath);
    const bool writable = ::access(FileNames::encodeName(current.absolutePath()).constData(), W_OK) == 0;
    const QString folder = writable ? current.absolutePath() : QDir::homePath();
    QFileDialog dialog(m_window.get(), tr("Save As"), folder + u'/' + current.fileName());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

DocumentAsker::UnsavedChoice WindowController::askToCloseUnsaved(const Error &reason)
{
    const QString name = m_document ? m_document->displayName() : m_window->windowTitle();
    QMessageBox box(QMessageBox::Warning, name, tr("“%1” could not be saved.").arg(name), QMessageBox::NoButton,
                    m_window.get());
    box.setInformativeText(reason.description() + u'\n' +
                           tr("If you close it without saving, its text is kept for recovery."));
    QPushButton *saveAs = box.addButton(tr("Save As…"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(tr("Close Without Saving"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(saveAs);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == saveAs)
        return DocumentAsker::UnsavedChoice::SaveAs;
    return box.clickedButton() == discard ? DocumentAsker::UnsavedChoice::CloseWithoutSaving
                                          : DocumentAsker::UnsavedChoice::Cancel;
}

WindowController *WindowController::forWindow(const QWidget *widget)
{
    if (!widget)
        return nullptr;
    const QWidget *window = widget->window();
    return qobject_cast<WindowController *>(window->property(controllerProperty).value<QObject *>());
}

bool WindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window.get() || event->type() != QEvent::Close)
        return QObject::eventFilter(watched, event);
    if (!m_document)
        return false;
    // The last window of a document writes an edited document first; when that fails the user chooses.
    const bool lastWindow = m_document->windowControllers().size() <= 1;
    if (lastWindow && !m_document->shouldClose()) {
        event->ignore();
        return true;
    }
    if (lastWindow) {
        // Closed after the event returns: the document deletes this controller and its window.
        QTimer::singleShot(0, m_document, &Document::close);
    }
    return false;
}

void WindowController::performClose(QObject *sender)
{
    Q_UNUSED(sender);
    m_window->close();
}

void WindowController::performMiniaturize(QObject *sender)
{
    Q_UNUSED(sender);
    m_window->showMinimized();
}

void WindowController::performZoom(QObject *sender)
{
    Q_UNUSED(sender);
    if (m_window->isMaximized())
        m_window->showNormal();
    else
        m_window->showMaximized();
}
