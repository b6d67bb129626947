#include "desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const char c_szService[] = "org.freedesktop.Notifications";
const char c_szPath[] = "/org/freedesktop/Notifications";
const char c_szInterface[] = "org.freedesktop.Notifications";
const uchar c_byUrgencyNormal = 1;
const uchar c_byUrgencyCritical = 2;

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

void DesktopNotifier::Notify(const QString& strKey, const QString& strTitle, const QString& strText, bool bCritical,
                             int iTimeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(c_szService, c_szPath, c_szInterface, "Notify");
    QVariantMap hints;
    hints.insert("urgency", QVariant::fromValue(bCritical ? c_byUrgencyCritical : c_byUrgencyNormal));
    call << QObject::tr("Ovra_Helper") << m_hashIds.value(strKey) << QString() << strTitle << strText << QStringList()
         << hints << iTimeoutMs;
    auto* pWatcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(pWatcher, &QDBusPendingCallWatcher::finished, this, [this, strKey](QDBusPendingCallWatcher* pDone) {
        const QDBusPendingReply<uint> reply = *pDone;
        if (reply.isValid())
            m_hashIds.insert(strKey, reply.value());
        pDone->deleteLater();
    });
}
