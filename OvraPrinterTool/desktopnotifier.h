// Desktop notifications (org.freedesktop.Notifications on the session bus). Where no
// tray area shows the monitor's balloons, its errors and warnings come up as
// notifications with the same title and text: one per printer, each replacing the
// printer's one before.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // Sends the notification without waiting for the notification service; a desktop
    // without one ignores it. bCritical marks an error (urgency critical), otherwise a
    // warning (urgency normal).
    void Notify(const QString& strKey, const QString& strTitle, const QString& strText, bool bCritical, int iTimeoutMs);

private:
    QHash<QString, uint> m_hashIds; // the notification shown for each key
};
