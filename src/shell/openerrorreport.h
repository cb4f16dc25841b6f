#pragma once

#include "framework/error.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class DocumentController;
class MessageBar;
class QMessageBox;

// Files that could not be opened, gathered while they come in quick succession and told in one message that
// names them: a thousand bad files make one message, not a thousand boxes. The message waits until the files
// still being read have opened, then goes into the bar of the active note window, so it is never hidden behind
// one; with no note window open, into a box of its own that comes to the front and stops nothing. Files that fail
// while it shows join it.
class OpenErrorReport : public QObject
{
    Q_OBJECT

public:
    using Presenter = std::function<void(const Error &error)>;

    // How long the stream of failures must pause before the message shows.
    static constexpr int quietMilliseconds = 150;
    // A longer list is cut in the message itself; the box's details hold every file.
    static constexpr int namedInMessage = 5;

    explicit OpenErrorReport(DocumentController &documents, QObject *parent = nullptr);
    ~OpenErrorReport() override;

    // Where the message goes instead of the window (one call per gathered message).
    void setPresenter(Presenter presenter);
    void add(const QUrl &url, const Error &error);
    // Shows an error at once where an open failure would show: in the active note window's bar, or in a box.
    void present(const Error &error);
    // The message box while it shows.
    QMessageBox *window() const;

    // One failure as it is; several as "N files could not be opened." and one line per file.
    static Error summary(const QList<std::pair<QUrl, Error>> &failures);
    // What the user reads: each file named, with its cause.
    static QString messageText(const QList<std::pair<QUrl, Error>> &failures);

private:
    void show();

    DocumentController &m_documents;
    Presenter m_presenter;
    QTimer m_quiet;
    QList<std::pair<QUrl, Error>> m_pending;
    // What the message lists, while it shows.
    QList<std::pair<QUrl, Error>> m_shown;
    QPointer<QMessageBox> m_window;
    QPointer<MessageBar> m_bar;
    // What the bar said, so a later burst joins it only while it still does.
    QString m_barText;
};
