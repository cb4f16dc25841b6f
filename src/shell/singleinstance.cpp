#include "singleinstance.h"

#include "shell/applicationadaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QVariantMap>

namespace {

constexpr char chooseNotesFolderAction[] = "chooseNotesFolder";

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
    // The object first, so a caller that sees the name also finds the interface.
    if (!bus.registerObject(QLatin1String(objectPath), this, QDBusConnection::ExportAdaptors)) {
        m_role = Role::Alone;
        return true;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(QLatin1String(serviceName), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_role = Role::Primary;
        return true;
    }
    bus.unregisterObject(QLatin1String(objectPath));
    if (handOver(files)) {
        m_role = Role::HandedOver;
        return false;
    }
    // The running instance did not answer: better a second window than files that never open.
    m_role = Role::Alone;
    return true;
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
            urls.append(QUrl::fromLocalFile(QDir::cleanPath(base.absoluteFilePath(argument))));
    }
    return urls;
}

void SingleInstance::activate()
{
    Q_EMIT activateRequested();
}

void SingleInstance::open(const QStringList &uris)
{
    QList<QUrl> urls;
    for (const QString &uri : uris) {
        const QUrl url(uri, QUrl::StrictMode);
        // Notes are local files; anything else is not ours to open.
        if (url.isValid() && url.isLocalFile())
            urls.append(url);
    }
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
    Q_EMIT actionRequested(name, parameter);
}

bool SingleInstance::handOver(const QList<QUrl> &files)
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
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    return reply.type() == QDBusMessage::ReplyMessage;
}
