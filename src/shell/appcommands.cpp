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

std::span<const AppCommands::Row> AppCommands::commandRows() const
{
    using Self = AppCommands;
    static constexpr Row rows[] = {
        {Command::About, nullptr,
         [](Self &self, Command, const QVariant &) {
             self.showAbout();
         }},
        {Command::CheckForUpdates, nullptr,
         [](Self &self, Command, const QVariant &) {
             if (self.m_updater)
                 self.m_updater->checkForUpdates(QApplication::activeWindow());
         }},
        {Command::Hide, nullptr,
         [](Self &, Command, const QVariant &) {
             NoteWindows::minimizeAll();
         }},
        {Command::ShowAll, nullptr,
         [](Self &, Command, const QVariant &) {
             NoteWindows::showAll();
         }},
        {Command::Quit, nullptr,
         [](Self &self, Command, const QVariant &) {
             self.m_quitting.quitAfterSaving(false);
         }},
        {Command::New, nullptr,
         [](Self &self, Command, const QVariant &) {
             self.m_delegate.newDocument();
         }},
        {Command::Open, nullptr,
         [](Self &self, Command, const QVariant &) {
             self.openDocument();
         }},
        {Command::OpenRecent, nullptr,
         [](Self &self, Command, const QVariant &argument) {
             if (const QUrl url = argument.toUrl(); url.isValid() && url.isLocalFile())
                 self.m_delegate.open(url);
         }},
        {Command::Reveal, nullptr,
         [](Self &self, Command, const QVariant &) {
             self.revealDocument();
         }},
        {Command::BringAllToFront, nullptr,
         [](Self &, Command, const QVariant &) {
             NoteWindows::bringAllToFront();
         }},
        {Command::Help, nullptr,
         [](Self &self, Command, const QVariant &) {
             self.m_delegate.resources().showHelp();
         }},
        {Command::DownloadLatest, nullptr,
         [](Self &self, Command, const QVariant &) {
             self.m_delegate.resources().openWebsite();
         }},
    };
    return rows;
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
