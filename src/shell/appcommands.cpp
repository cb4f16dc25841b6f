#include "shell/appcommands.h"

#include "editor/window/editor.h"
#include "shell/appdelegate.h"
#include "shell/filemanager.h"
#include "shell/notewindows.h"
#include "shell/quitting.h"
#include "shell/updateprompt.h"
#include "storage/plaintextdocument.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeDatabase>

AppCommands::AppCommands(AppDelegate &delegate, Quitting &quitting)
    : m_delegate(delegate)
    , m_quitting(quitting)
{}

AppCommands::~AppCommands() = default;

void AppCommands::setOpenPanel(OpenPanel panel)
{
    m_openPanel = std::move(panel);
}

void AppCommands::startUpdateChecks()
{
    const AppResources &resources = m_delegate.resources();
    m_updater = std::make_unique<UpdatePrompt>(
        resources.infoWebUrl(QString::fromLatin1(AppResources::updateFeedKey)).value_or(QUrl()),
        QCoreApplication::applicationVersion());
}

bool AppCommands::answers(Command command) const
{
    switch (command) {
    case Command::About:
    case Command::CheckForUpdates:
    case Command::Hide:
    case Command::ShowAll:
    case Command::Quit:
    case Command::New:
    case Command::Open:
    case Command::OpenRecent:
    case Command::Reveal:
    case Command::BringAllToFront:
    case Command::Help:
    case Command::DownloadLatest:
        return true;
    default:
        return false;
    }
}

void AppCommands::perform(Command command, const QVariant &argument)
{
    switch (command) {
    case Command::About:
        showAbout();
        break;
    case Command::CheckForUpdates:
        if (m_updater)
            m_updater->checkForUpdates(QApplication::activeWindow());
        break;
    case Command::Hide:
        NoteWindows::minimizeAll();
        break;
    case Command::ShowAll:
        NoteWindows::showAll();
        break;
    case Command::Quit:
        m_quitting.quitAfterSaving(false);
        break;
    case Command::New:
        m_delegate.newDocument();
        break;
    case Command::Open:
        openDocument();
        break;
    case Command::OpenRecent:
        if (const QUrl url = argument.toUrl(); url.isValid() && url.isLocalFile())
            m_delegate.open(url);
        break;
    case Command::Reveal:
        revealDocument();
        break;
    case Command::BringAllToFront:
        NoteWindows::bringAllToFront();
        break;
    case Command::Help:
        m_delegate.resources().showHelp();
        break;
    case Command::DownloadLatest:
        m_delegate.resources().openWebsite();
        break;
    default:
        break;
    }
}

void AppCommands::showAbout() const
{
    const QString website =
        m_delegate.resources().infoWebUrl(QString::fromLatin1(AppResources::websiteKey)).value_or(QUrl()).toString();
    QMessageBox::about(QApplication::activeWindow(), AppDelegate::tr("About Nolt Nolt"),
                       AppDelegate::tr("<p><b>Nolt Nolt</b></p><p>Version %1</p><p>Plain-text notes, saved as you "
                                       "type.</p><p><a href=\"%2\">%2</a></p>")
                           .arg(QCoreApplication::applicationVersion().toHtmlEscaped(), website.toHtmlEscaped()));
}

void AppCommands::openDocument()
{
    QList<QUrl> chosen;
    if (m_openPanel) {
        chosen = m_openPanel();
    } else {
        QFileDialog dialog(QApplication::activeWindow());
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilters(openFilters());
        if (dialog.exec() != QDialog::Accepted)
            return;
        chosen = dialog.selectedUrls();
    }
    m_delegate.applicationOpenUrls(chosen);
}

QStringList AppCommands::openFilters()
{
    // By type, not by name: every kind of text the system knows (Markdown, logs, CSV, READMEs, settings, source
    // code) shows, and the note's bytes still decide on reading. Files of no known name are one choice away.
    QStringList patterns;
    const QList<QMimeType> types = QMimeDatabase().allMimeTypes();
    for (const QMimeType &type : types) {
        if (!type.name().startsWith(u"text/") && !type.inherits(QStringLiteral("text/plain")))
            continue;
        for (const QString &pattern : type.globPatterns()) {
            // The dialog splits its list at spaces and ends it at a parenthesis.
            if (!pattern.contains(u' ') && !pattern.contains(u'(') && !pattern.contains(u')'))
                patterns.append(pattern);
        }
    }
    patterns.sort();
    patterns.removeDuplicates();
    return {AppDelegate::tr("Plain text files (%1)").arg(patterns.join(u' ')), AppDelegate::tr("All files (*)")};
}

void AppCommands::revealDocument() const
{
    Editor *editor = m_delegate.current();
    PlainTextDocument *document = editor ? editor->textDocument() : nullptr;
    if (!document || document->fileUrl().isEmpty())
        return;
    FileManager::showItems({document->fileUrl()});
}
