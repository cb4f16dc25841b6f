#include "editor/window/windowcontroller.h"

#include "framework/document.h"
#include "framework/documentmover.h"
#include "framework/filenames.h"
#include "framework/trash.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

namespace {

constexpr char controllerProperty[] = "windowController";

} // namespace

WindowController::WindowController(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
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

QList<WindowController *> WindowController::of(const Document *document)
{
    return document ? document->findChildren<WindowController *>(QString(), Qt::FindDirectChildrenOnly)
                    : QList<WindowController *>();
}

void WindowController::setDocument(Document *document)
{
    m_document = document;
    if (!document)
        return;
    // From now on a note window to the app: its menus, its Window menu, bringing all to front.
    m_window->setProperty(controllerProperty, QVariant::fromValue(static_cast<QObject *>(this)));
    // The note owns its windows; they go when it closes.
    setParent(document);
    connect(document, &Document::closed, this, [this] { delete this; });
    connect(document, &Document::fileUrlChanged, this, &WindowController::synchronizeWindowTitleWithDocumentName);
    connect(document, &Document::errorPresented, this, &WindowController::presentError);
    connect(document, &Document::fileGone, this, &WindowController::showGone);
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
    synchronizeWindowTitleWithDocumentName();
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

void WindowController::awaitDocument(const QString &fileName)
{
    m_window->setWindowTitle(windowTitle(fileName));
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
    // A save refused because the note is read-only: its bar already says so and offers Save As…, and stays the one.
    if (kind == MessageKind::ReadOnly && m_document && m_document->isReadOnly()) {
        if (!message(MessageKind::ReadOnly))
            showReadOnly(true);
    } else if (kind == MessageKind::SaveFailed) {
        return presentSaveFailure(error);
    } else {
        showMessage(kind, error.description(), {}, true);
    }
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
            self->m_document->saveDocumentAs();
    };
    showMessage(MessageKind::SaveFailed, error.description(), {{tr("Save As…"), saveAs}, {tr("Try Again"), tryAgain}});
    Q_EMIT errorPresented(error);
}

void WindowController::showGone(const QString &trashedAt)
{
    const QFileInfo file(FileNames::pathOfUrl(m_document->fileUrl()));
    const QString name = FileNames::displayName(file.fileName());
    const QString folder = FileNames::displayName(file.absolutePath());
    const QPointer<WindowController> self(this);
    QList<MessageBar::Button> buttons;
    // Put Back only to where the note was: a record that names another place is not followed.
    const QString place = file.absoluteFilePath();
    if (!trashedAt.isEmpty() && Trash::cameFrom(trashedAt, place)) {
        buttons.append({tr("Put Back"), [self, trashedAt, place] {
                            try {
                                Trash::putBack(trashedAt, place);
                            } catch (const Error &error) {
                                if (self)
                                    self->presentError(error);
                            }
                            if (self && self->m_document)
                                self->m_document->checkFileOnDisk();
                        }});
    } else {
        buttons.append({tr("Save Again"), [self] {
                            if (self && self->m_document)
                                self->m_document->saveDocument();
                        }});
    }
    buttons.append({tr("Close"), [self] {
                        if (self)
                            self->m_window->close();
                    }});
    const QString text = trashedAt.isEmpty()
                             ? tr("“%1” was deleted by another program. Its text is still open here; typing saves it "
                                  "again in “%2”.")
                             : tr("“%1” was moved to the Trash. Its text is still open here; typing saves it again in "
                                  "“%2”.");
    showMessage(MessageKind::FileChanged, text.arg(name, folder), buttons);
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
                          document->saveDocumentAs();
                  }}});
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
    const bool lastWindow = of(m_document).size() <= 1;
    if (lastWindow && !m_document->shouldClose()) {
        event->ignore();
        return true;
    }
    if (lastWindow) {
        // Closed after the event returns: this controller and its window go with the note.
        QTimer::singleShot(0, m_document, &Document::close);
    }
    return false;
}

std::span<const WindowController::Row> WindowController::commandRows() const
{
    // Commands on the note wait for nothing here: the note itself says when it cannot.
    static constexpr Row rows[] = {
        {Command::Close, nullptr,
         [](WindowController &self, Command, const QVariant &) {
             self.m_window->close();
         }},
        {Command::Minimize, nullptr,
         [](WindowController &self, Command, const QVariant &) {
             self.m_window->showMinimized();
         }},
        {Command::Zoom, nullptr,
         [](WindowController &self, Command, const QVariant &) {
             if (self.m_window->isMaximized())
                 self.m_window->showNormal();
             else
                 self.m_window->showMaximized();
         }},
        {Command::Save, nullptr,
         [](WindowController &self, Command, const QVariant &) {
             if (self.m_document)
                 self.m_document->saveDocument();
         }},
        {Command::SaveAs, nullptr,
         [](WindowController &self, Command, const QVariant &) {
             if (self.m_document)
                 self.m_document->saveDocumentAs();
         }},
        {Command::Rename, nullptr,
         [](WindowController &self, Command, const QVariant &) {
             if (self.m_document)
                 DocumentMover::rename(*self.m_document);
         }},
        {Command::MoveTo, nullptr,
         [](WindowController &self, Command, const QVariant &) {
             if (self.m_document)
                 DocumentMover::move(*self.m_document);
         }},
    };
    return rows;
}

bool WindowController::presentFailure(const Error &error)
{
    presentError(error);
    return true;
}
