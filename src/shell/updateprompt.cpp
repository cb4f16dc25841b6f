#include "updateprompt.h"

#include "shell/filemanager.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

UpdatePrompt::UpdatePrompt(const QUrl &feedUrl, const QString &currentVersion, QObject *parent)
    : QObject(parent)
    , m_checker(feedUrl, currentVersion)
{
    connect(&m_checker, &UpdateChecker::finished, this, &UpdatePrompt::showResult);
}

UpdatePrompt::~UpdatePrompt()
{
    delete m_progress;
}

void UpdatePrompt::checkForUpdates(QWidget *window)
{
    if (m_progress) {
        m_progress->raise();
        m_progress->activateWindow();
        return;
    }
    m_progress = new QProgressDialog(tr("Checking for updates…"), tr("Cancel"), 0, 0, window);
    m_progress->setWindowTitle(tr("Software Update"));
    m_progress->setMinimumDuration(0);
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_progress, &QProgressDialog::canceled, this, [this] {
        m_checker.cancel();
        if (m_progress)
            m_progress->close();
    });
    m_progress->show();
    m_checker.check();
}

void UpdatePrompt::showResult(const UpdateChecker::Result &result)
{
    QWidget *parent = m_progress ? m_progress->parentWidget() : QApplication::activeWindow();
    if (m_progress)
        m_progress->close();
    const QString name = QApplication::applicationDisplayName();
    QMessageBox box(parent);
    box.setWindowTitle(tr("Software Update"));
    switch (result.outcome) {
    case UpdateChecker::Outcome::UpToDate:
        box.setIcon(QMessageBox::Information);
        box.setText(tr("You're up to date."));
        box.setInformativeText(tr("%1 %2 is the newest version available.").arg(name, m_checker.currentVersion()));
        box.exec();
        return;
    case UpdateChecker::Outcome::UpdateAvailable: {
        box.setIcon(QMessageBox::Information);
        box.setText(tr("%1 %2 is available.").arg(name, result.latest.version));
        box.setInformativeText(tr("You have version %1.").arg(m_checker.currentVersion()));
        if (!result.latest.notes.isEmpty())
            box.setDetailedText(result.latest.notes);
        QPushButton *download = box.addButton(tr("Download…"), QMessageBox::AcceptRole);
        QPushButton *notes = nullptr;
        if (!result.latest.releaseNotesUrl.isEmpty())
            notes = box.addButton(tr("Release Notes…"), QMessageBox::HelpRole);
        box.addButton(tr("Not Now"), QMessageBox::RejectRole);
        download->setEnabled(result.latest.downloadUrl.isValid() && !result.latest.downloadUrl.isEmpty());
        box.setDefaultButton(download);
        box.exec();
        if (box.clickedButton() == download)
            FileManager::openUrl(result.latest.downloadUrl);
        else if (notes && box.clickedButton() == notes)
            FileManager::openUrl(result.latest.releaseNotesUrl);
        return;
    }
    case UpdateChecker::Outcome::Failed:
        box.setIcon(QMessageBox::Warning);
        box.setText(tr("The update check failed."));
        box.setInformativeText(result.error ? result.error->description() : QString());
        box.exec();
        return;
    }
}
