#include "applicationadaptor.h"

#include "shell/singleinstance.h"

ApplicationAdaptor::ApplicationAdaptor(SingleInstance *instance)
    : QDBusAbstractAdaptor(instance)
    , m_instance(instance)
{}

void ApplicationAdaptor::Activate(const QVariantMap &)
{
    m_instance->activate();
}

void ApplicationAdaptor::Open(const QStringList &uris, const QVariantMap &)
{
    m_instance->open(uris);
}

void ApplicationAdaptor::ActivateAction(const QString &actionName, const QVariantList &parameter, const QVariantMap &)
{
    m_instance->activateAction(actionName, parameter);
}
