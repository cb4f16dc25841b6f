#include "openerrorreport.h"

#include "editor/messages/messagebar.h"
#include "editor/window/windowcontroller.h"
#include "shell/documentcontroller.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QString nameOf(const QUrl &url)
{
    return url.fileName().isEmpty() ? url.toString() : url.fileName();
}

QString detailsOf(const QList<std::pair<QUrl, Error>> &failures)
{
    QStringList lines;
    lines.reserve(failures.size());
    for (const auto &[url, error] : failures)
        lines.append(
            QStringLiteral("%1: %2").arg(url.isLocalFile() ? url.toLocalFile() : url.toString(), error.description()));
    return lines.join(u'\n');
}

// The active note window, or else the one opened last: the message shows where the user looks.
WindowController *noteWindow(const DocumentController &documents)
{
    WindowController *active = WindowController::forWindow(QApplication::activeWindow());
    if (active && active->document())
        return active;
    const QList<Document *> open = documents.documents();
    for (auto it = open.crbegin(); it != open.crend(); ++it) {
        const QList<WindowController *> windows = WindowController::of(*it);
        if (!windows.isEmpty() && windows.constFirst()->window()->isVisible())
            return windows.constFirst();
    }
    return nullptr;
}

QMessageBox *frontBox(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::Close);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    return box;
}

// No note window stands in front of it; the user sees it without looking for it.
void bringForward(QWidget *box)
{
    box->show();
    box->raise();
    box->activateWindow();
}

} // namespace

OpenErrorReport::OpenErrorReport(DocumentController &documents, QObject *parent)
    : QObject(parent)
    , m_documents(documents)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMilliseconds);
    connect(&m_quiet, &QTimer::timeout, this, &OpenErrorReport::show);
    connect(&documents, &DocumentController::opensFinished, this, [this] {
        if (!m_pending.isEmpty())
            m_quiet.start();
    });
}

OpenErrorReport::~OpenErrorReport()
{
    delete m_window;
}

void OpenErrorReport::setPresenter(Presenter presenter)
{
    m_presenter = std::move(presenter);
}

void OpenErrorReport::add(const QUrl &url, const Error &error)
{
    m_pending.append({url, error});
    m_quiet.start();
}

void OpenErrorReport::present(const Error &error)
{
    if (WindowController *note = noteWindow(m_documents)) {
        const QString more = error.informativeText();
        note->showMessage(MessageKind::Error, more.isEmpty() ? error.description() : error.description() + u' ' + more,
                          {}, true);
        return;
    }
    QMessageBox *box = frontBox(error.description());
    box->setInformativeText(error.informativeText());
    bringForward(box);
}

QMessageBox *OpenErrorReport::window() const
{
    return m_window;
}

Error OpenErrorReport::summary(const QList<std::pair<QUrl, Error>> &failures)
{
    if (failures.size() == 1)
        return failures.first().second;
    const Error &first = failures.first().second;
    return Error(first.domain(), first.code(),
                 tr("%Ln files could not be opened.", nullptr, int(failures.size())) + u'\n' + detailsOf(failures));
}

QString OpenErrorReport::messageText(const QList<std::pair<QUrl, Error>> &failures)
{
    if (failures.isEmpty())
        return {};
    // The cause alone ("This file is not UTF-8 plain text.") leaves the user guessing which file it was.
    const auto named = [](const QUrl &url, const Error &error, const QString &format) {
        const QString name = nameOf(url);
        return error.description().contains(u'“' + name + u'”') ? error.description()
                                                                : format.arg(name, error.description());
    };
    if (failures.size() == 1)
        return named(failures.first().first, failures.first().second, tr("“%1” could not be opened. %2"));
    QStringList lines{tr("%Ln files could not be opened.", nullptr, int(failures.size()))};
    for (const auto &[url, error] : failures.first(std::min<qsizetype>(failures.size(), namedInMessage)))
        lines.append(named(url, error, tr("“%1”: %2")));
    if (failures.size() > namedInMessage)
        lines.append(tr("…and %Ln more.", nullptr, int(failures.size() - namedInMessage)));
    return lines.join(u'\n');
}

void OpenErrorReport::show()
{
    // Files still being read may yet bring the window the message belongs in; their end starts the wait again.
    if (m_pending.isEmpty() || m_documents.isOpening())
        return;
    if (m_presenter) {
        m_presenter(summary(std::exchange(m_pending, {})));
        return;
    }
    WindowController *note = m_window ? nullptr : noteWindow(m_documents);
    const bool joining =
        note ? m_bar && note->message(MessageKind::Error) == m_bar && m_bar->text() == m_barText : bool(m_window);
    if (!joining)
        m_shown.clear();
    m_shown.append(std::exchange(m_pending, {}));
    const QString text = messageText(m_shown);
    if (note) {
        note->showMessage(MessageKind::Error, text, {}, true);
        m_bar = note->message(MessageKind::Error);
        m_barText = text;
        return;
    }
    if (!m_window) {
        m_window = frontBox(text);
        m_window->setObjectName(QStringLiteral("openErrorReport"));
    }
    m_window->setText(text);
    m_window->setDetailedText(detailsOf(m_shown));
    bringForward(m_window);
}
