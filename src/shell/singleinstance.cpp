#include "singleinstance.h"

#include "framework/filenames.h"
#include "shell/applicationadaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QTimer>
#include <QVariantMap>

#include <cstdio>
#include <utility>

namespace {

constexpr char chooseNotesFolderAction[] = "chooseNotesFolder";
constexpr int maximumAttempts = 3;

// What a launcher passes on so the running instance may take focus for the user's request.
QVariantMap platformData()
{
    QVariantMap data;
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty())
        data.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(startupId));
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty())
        data.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    return data;
}

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
    new ApplicationAdaptor(this);
}

SingleInstance::~SingleInstance()
{
    if (m_role == Role::Primary) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(QLatin1String(serviceName));
        bus.unregisterObject(QLatin1String(objectPath));
    }
}

QStringList SingleInstance::actionNames()
{
    return {QLatin1String(chooseNotesFolderAction)};
}

bool SingleInstance::start(const QList<QUrl> &files)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) {
        m_role = Role::Alone;
        return true;
    }
    // A running instance that ends while we call it leaves the name free: then this process takes it.
    QString failure;
    for (int attempt = 0; attempt < maximumAttempts && m_role == Role::Undecided; ++attempt) {
        // The object first, so a caller that sees the name also finds the interface.
        if (!bus.registerObject(QLatin1String(objectPath), this, QDBusConnection::ExportAdaptors)) {
            m_role = Role::Alone;
            return true;
        }
        if (registerAsPrimary()) {
            m_role = Role::Primary;
            return true;
        }
        bus.unregisterObject(QLatin1String(objectPath));
        m_role = handOver(files, failure);
    }
    if (m_role == Role::HandedOver)
        return false;
    m_role = Role::Unanswered;
    // Better no window than a second instance writing the same notes as the first.
    const QString message =
        tr("Nolt Nolt is already running but does not answer (%1). Quit it, then try again.").arg(failure);
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return false;
}

bool SingleInstance::registerAsPrimary()
{
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        QDBusConnection::sessionBus().interface()->registerService(QLatin1String(serviceName),
                                                                   QDBusConnectionInterface::DontQueueService,
                                                                   QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

QList<QUrl> SingleInstance::urlsFromArguments(const QStringList &arguments, const QString &workingDirectory)
{
    QList<QUrl> urls;
    const QDir base(workingDirectory);
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            continue;
        const QUrl url(argument, QUrl::StrictMode);
        if (argument.startsWith(QLatin1String("file:")) && url.isValid())
            urls.append(url);
        else
            urls.append(FileNames::urlOfPath(QDir::cleanPath(base.absoluteFilePath(argument))));
    }
    return urls;
}

void SingleInstance::activate()
{
    if (m_activatePending)
        return;
    m_activatePending = true;
    QTimer::singleShot(0, this, [this] {
        m_activatePending = false;
        Q_EMIT activateRequested();
    });
}

void SingleInstance::open(const QStringList &uris)
{
    const bool scheduled = !m_pendingOpen.isEmpty();
    for (const QString &uri : uris) {
        const QUrl url(uri, QUrl::StrictMode);
        // Notes are local files; anything else is not ours to open.
        if (url.isValid() && url.isLocalFile() && !m_pendingSet.contains(url)) {
            m_pendingSet.insert(url);
            m_pendingOpen.append(url);
        }
    }
    if (!scheduled && !m_pendingOpen.isEmpty())
        QTimer::singleShot(0, this, &SingleInstance::deliverOpen);
}

void SingleInstance::deliverOpen()
{
    const QList<QUrl> urls = std::exchange(m_pendingOpen, {});
    m_pendingSet.clear();
    if (!urls.isEmpty())
        Q_EMIT openRequested(urls);
}

void SingleInstance::activateAction(const QString &name, const QVariantList &parameter)
{
    if (!actionNames().contains(name)) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs, tr("Nolt Nolt has no action “%1”.").arg(name));
        return;
    }
    QTimer::singleShot(0, this, [this, name, parameter] { Q_EMIT actionRequested(name, parameter); });
}

SingleInstance::Role SingleInstance::handOver(const QList<QUrl> &files, QString &failure)
{
    QDBusMessage call;
    if (files.isEmpty()) {
        call = QDBusMessage::createMethodCall(QLatin1String(serviceName), QLatin1String(objectPath),
                                              QLatin1String(interfaceName), QStringLiteral("Activate"));
        call << platformData();
    } else {
        QStringList uris;
        for (const QUrl &url : files)
            uris.append(url.toString(QUrl::FullyEncoded));
        call = QDBusMessage::createMethodCall(QLatin1String(serviceName), QLatin1String(objectPath),
                                              QLatin1String(interfaceName), QStringLiteral("Open"));
        call << uris << platformData();
    }
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, m_handOverTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return Role::HandedOver;
    const QDBusError error(reply);
    const bool silent = error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout;
    failure = silent ? tr("no answer within %1 seconds").arg(m_handOverTimeout / 1000.0) : error.message();
    // The instance ended between our two calls: the name is free again.
    if (error.type() == QDBusError::ServiceUnknown)
        return Role::Undecided;
    return Role::Unanswered;
}
