#pragma once

#include "shell/appresources.h"

#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <QVariantList>

// One running Nolt Nolt per user session. The first process owns the session-bus name and answers the freedesktop
// application interface; a later process hands its files over (Open) or asks for a reopen (Activate) and exits.
// Calls are answered at once and their work follows on the event loop, so a dialog in the running instance never
// keeps a launcher waiting. Without a session bus every process runs as its own instance.
class SingleInstance : public QObject, protected QDBusContext
{
    Q_OBJECT

public:
    // The bus name is the application's own id, as desktops look it up from the launcher's file name.
    static constexpr const char *serviceName = AppResources::applicationId;
    static constexpr char objectPath[] = "/com/quorbell/noltnolt";
    static constexpr char interfaceName[] = "org.freedesktop.Application";
    // The actions ActivateAction offers.
    static QStringList actionNames();

    enum class Role
    {
        Undecided,
        Primary,
        Alone,
        HandedOver,
        // Another instance owns the name but did not answer: this process must not become a second one.
        Unanswered
    };

    // How long a later launch waits for the running instance to take its request.
    static constexpr int defaultHandOverTimeout = 10000;

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance, or hands files (none: a reopen) to the one that runs. True when this process
    // goes on as the app; false when it should exit: 0 when the running instance took the request (HandedOver),
    // non-zero when it did not answer (Unanswered, and a line on standard error says so).
    bool start(const QList<QUrl> &files);
    Role role() const { return m_role; }
    void setHandOverTimeout(int milliseconds) { m_handOverTimeout = milliseconds; }

    // Command-line arguments as file URLs: URIs as given, paths made absolute against workingDirectory.
    static QList<QUrl> urlsFromArguments(const QStringList &arguments, const QString &workingDirectory);

Q_SIGNALS:
    void activateRequested();
    void openRequested(const QList<QUrl> &urls);
    void actionRequested(const QString &name, const QVariantList &parameter);

private:
    friend class ApplicationAdaptor;
    void activate();
    void open(const QStringList &uris);
    void activateAction(const QString &name, const QVariantList &parameter);
    bool registerAsPrimary();
    Role handOver(const QList<QUrl> &files, QString &failure);
    void deliverOpen();

    Role m_role = Role::Undecided;
    int m_handOverTimeout = defaultHandOverTimeout;
    // Files asked for since the last delivery, each once however often it was asked for.
    QList<QUrl> m_pendingOpen;
    QSet<QUrl> m_pendingSet;
    bool m_activatePending = false;
};
