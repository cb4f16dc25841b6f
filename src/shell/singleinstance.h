#pragma once

#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariantList>

// One running Nolt Nolt per user session. The first process owns the session-bus name and answers the freedesktop
// application interface; a later process hands its files over (Open) or asks for a reopen (Activate) and exits.
// Without a session bus every process runs as its own instance.
class SingleInstance : public QObject, protected QDBusContext
{
    Q_OBJECT

public:
    static constexpr char serviceName[] = "com.quorbell.noltnolt";
    static constexpr char objectPath[] = "/com/quorbell/noltnolt";
    static constexpr char interfaceName[] = "org.freedesktop.Application";
    // The actions ActivateAction offers.
    static QStringList actionNames();

    enum class Role
    {
        Undecided,
        Primary,
        Alone,
        HandedOver
    };

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance, or hands files (none: a reopen) to the one that runs. True when this process
    // goes on as the app; false when the running instance took the request and this process should exit 0.
    bool start(const QList<QUrl> &files);
    Role role() const { return m_role; }

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
    bool handOver(const QList<QUrl> &files);

    Role m_role = Role::Undecided;
};
