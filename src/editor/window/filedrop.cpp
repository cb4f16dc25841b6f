#include "editor/window/filedrop.h"

#include "framework/filenames.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

FileDrop::FileDrop(QWidget *window, Open open)
    : QObject(window)
    , m_open(std::move(open))
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    // The text view takes drops through its viewport; a drop goes to the part under the pointer first.
    const QList<QWidget *> parts = window->findChildren<QWidget *>();
    for (QWidget *part : parts) {
        if (part->acceptDrops())
            part->installEventFilter(this);
    }
}

QStringList FileDrop::files(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    QStringList paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls) {
        // A link dragged from a browser is text to keep, not a file to open.
        if (!url.isLocalFile())
            return {};
        paths.append(FileNames::pathOfUrl(url));
    }
    return paths;
}

bool FileDrop::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    const QStringList paths = files(drop->mimeData());
    if (paths.isEmpty())
        return QObject::eventFilter(watched, event);
    // Taken here, before the text view moves its caret to the pointer or inserts anything.
    if (!m_open) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        for (const QString &path : paths)
            m_open(path);
    }
    return true;
}
