#include "SingleInstance.h"

#include "DesktopBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

#include <cstdio>

namespace {

void complain(const QString& text) { std::fprintf(stderr, "linguaro: %s\n", text.toLocal8Bit().constData()); }

}  // namespace

SingleInstance::SingleInstance(QObject* service) : m_service(service) { m_role = claim(); }

SingleInstance::Role SingleInstance::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return Role::Alone;
    // the object goes first, so a call that follows the name always finds it
    if (!bus.objectRegisteredAt(DesktopBus::ObjectPath)
        && !bus.registerObject(DesktopBus::ObjectPath, m_service, QDBusConnection::ExportScriptableSlots))
        return Role::Alone;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(DesktopBus::ServiceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        bus.unregisterObject(DesktopBus::ObjectPath);
        return Role::Alone;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Role::First;
    bus.unregisterObject(DesktopBus::ObjectPath);
    return Role::Second;
}

int SingleInstance::forward(Request request, int timeoutMs)
{
    const QString method =
        request == Request::TranslateSelection ? QStringLiteral("TranslateSelection") : QStringLiteral("ShowWindow");
    const QDBusMessage call =
        QDBusMessage::createMethodCall(DesktopBus::ServiceName, DesktopBus::ObjectPath, DesktopBus::Interface, method);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return 0;

    const QDBusError::ErrorType error = QDBusError(reply).type();
    if (error == QDBusError::ServiceUnknown) {
        // the running translator ended between our start and our call: this one takes over
        m_role = claim();
        if (m_role != Role::Second)
            return -1;
    }
    if (error == QDBusError::NoReply || error == QDBusError::Timeout || error == QDBusError::TimedOut)
        complain(QStringLiteral("the running translator did not answer within %1 seconds.").arg(timeoutMs / 1000));
    else if (error == QDBusError::Disconnected)
        complain(QStringLiteral("the session bus went away before the running translator answered."));
    else
        complain(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage());
    return 1;
}

void SingleInstance::release()
{
    if (m_role != Role::First)
        return;
    m_role = Role::Alone;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return;
    bus.interface()->unregisterService(DesktopBus::ServiceName);
    bus.unregisterObject(DesktopBus::ObjectPath);
}
