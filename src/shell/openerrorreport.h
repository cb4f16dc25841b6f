#pragma once

#include "framework/error.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class QMessageBox;

// Files that could not be opened, gathered while they come in quick succession and told in one message that
// lists them: a thousand bad files make one message, not a thousand boxes. The message waits in a window of its
// own that stops nothing; files that fail while it shows join it.
class OpenErrorReport : public QObject
{
    Q_OBJECT

public:
    using Presenter = std::function<void(const Error &error)>;

    // How long the stream of failures must pause before the message shows.
    static constexpr int quietMilliseconds = 150;

    explicit OpenErrorReport(QObject *parent = nullptr);
    ~OpenErrorReport() override;

    // Where the message goes instead of the window (one call per gathered message).
    void setPresenter(Presenter presenter);
    void add(const QUrl &url, const Error &error);
    // The message window while it shows.
    QMessageBox *window() const;

    // One failure as it is; several as "N files could not be opened." and one line per file.
    static Error summary(const QList<std::pair<QUrl, Error>> &failures);

private:
    void show();

    Presenter m_presenter;
    QTimer m_quiet;
    QList<std::pair<QUrl, Error>> m_pending;
    // What the window lists, while it shows.
    QList<std::pair<QUrl, Error>> m_shown;
    QPointer<QMessageBox> m_window;
};
