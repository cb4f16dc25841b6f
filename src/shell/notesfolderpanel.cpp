#include "notesfolderpanel.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

std::optional<QUrl> NotesFolderPanel::run(const NotesFolder::PanelRequest &request, QWidget *parent)
{
    QFileDialog dialog(parent, request.title);
    // Qt's own dialog: the platform's dialogs have no place for the message.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, request.prompt);
    dialog.setToolTip(request.message);
    auto *message = new QLabel(request.message, &dialog);
    message->setObjectName(QStringLiteral("notesFolderMessage"));
    message->setWordWrap(true);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(message, grid->rowCount(), 0, 1, grid->columnCount());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QList<QUrl> urls = dialog.selectedUrls();
    if (urls.isEmpty())
        return std::nullopt;
    return urls.first();
}
