#pragma once

#include "shell/updatechecker.h"

#include <QObject>
#include <QPointer>

class QProgressDialog;
class QWidget;

// The user's side of an update check: a busy indicator while the feed is fetched, then "You're up to date.",
// the newer version with a button to its download page, or the error.
class UpdatePrompt : public QObject
{
    Q_OBJECT

public:
    UpdatePrompt(const QUrl &feedUrl, const QString &currentVersion, QObject *parent = nullptr);
    ~UpdatePrompt() override;

    // Starts a check the user asked for; a second request while one runs only shows the running one.
    void checkForUpdates(QWidget *window);

private:
    void showResult(const UpdateChecker::Result &result);

    UpdateChecker m_checker;
    QPointer<QProgressDialog> m_progress;
};
