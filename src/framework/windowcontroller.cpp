#include "windowcontroller.h"

#include "framework/document.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace {

constexpr char controllerProperty[] = "windowController";

} // namespace

WindowController::WindowController(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    m_window->setProperty(controllerProperty, QVariant::fromValue(static_cast<QObject *>(this)));
    m_window->installEventFilter(this);
}

WindowController::~WindowController()
{
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
}

QString WindowController::windowTitle(const QString &documentDisplayName) const
{
    return documentDisplayName;
}

void WindowController::synchronizeWindowTitleWithDocumentName()
{
    if (!m_document)
        return;
    m_window->setWindowTitle(windowTitle(m_document->displayName()));
    m_window->setWindowFilePath(m_document->fileUrl().isLocalFile() ? m_document->fileUrl().toLocalFile() : QString());
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

void WindowController::presentError(const Error &error)
{
    auto *box = new QMessageBox(QMessageBox::Critical, m_window->windowTitle(), error.description(), QMessageBox::Ok,
                                m_window.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
    Q_EMIT errorPresented(error);
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

bool WindowController::askToKeepOwnVersion(const QString &documentDisplayName)
{
    QMessageBox box(
        QMessageBox::Warning, documentDisplayName,
        tr("“%1” was changed by another program while it had unsaved changes here.").arg(documentDisplayName),
        QMessageBox::NoButton, m_window.get());
    box.setInformativeText(tr("Which version do you want to keep?"));
    QPushButton *mine = box.addButton(tr("Keep My Version"), QMessageBox::AcceptRole);
    box.addButton(tr("Use Version on Disk"), QMessageBox::DestructiveRole);
    box.setDefaultButton(mine);
    box.exec();
    return box.clickedButton() == mine;
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
    // The last window of a document writes an edited document first; a failed write keeps the window open.
    const bool lastWindow = m_document->windowControllers().size() <= 1;
    if (lastWindow && !m_document->prepareToClose()) {
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
