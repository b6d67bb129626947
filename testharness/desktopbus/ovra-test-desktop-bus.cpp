// The parts of a desktop session bus that the tray monitor talks to, for tests: a
// notification service (org.freedesktop.Notifications) and a tray host's watcher
// (org.kde.StatusNotifierWatcher). It runs on the bus of DBUS_SESSION_BUS_ADDRESS and
// prints one line per event:
//   ready
//   notify summary=<title> body=<text> urgency=<0..2>
//   item service=<name> icon-name=<name> icon-pixmaps=<count> tooltip=<title>
//   ovra-test-desktop-bus [--notifications] [--watcher]
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <cstdio>

namespace {

const char c_szItemInterface[] = "org.kde.StatusNotifierItem";

void Print(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// A property of the tray item, unpacked from its D-Bus variant.
QVariant ItemProperty(const QString& service, const QString& path, const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
    get << QString(c_szItemInterface) << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QVariant();
    return reply.arguments().first().value<QDBusVariant>().variant();
}

// a(iiay): the number of pixmaps with pixels in them.
int PixmapCount(const QDBusArgument& argument)
{
    int count = 0;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray pixels;
        argument.beginStructure();
        argument >> width >> height >> pixels;
        argument.endStructure();
        count += width > 0 && height > 0 && !pixels.isEmpty() ? 1 : 0;
    }
    argument.endArray();
    return count;
}

// (sa(iiay)ss): the title.
QString ToolTipTitle(const QDBusArgument& argument)
{
    QString iconName, title, text;
    argument.beginStructure();
    argument >> iconName;
    PixmapCount(argument);
    argument >> title >> text;
    argument.endStructure();
    return title;
}

} // namespace

class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    using QObject::QObject;

public slots:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        Print(QString("notify summary=%1 body=%2 urgency=%3").arg(summary, body).arg(hints.value("urgency").toInt()));
        return replacesId ? replacesId : ++m_uiLastId;
    }
    QStringList GetCapabilities() { return {"body"}; }
    QString GetServerInformation(QString& vendor, QString& version, QString& protocolVersion)
    {
        vendor = "ovra-test";
        version = "1";
        protocolVersion = "1.2";
        return "ovra-test-desktop-bus";
    }
    void CloseNotification(uint) {}

private:
    uint m_uiLastId = 0;
};

class StatusNotifierWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ Items)
public:
    using QObject::QObject;
    bool HostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }
    QStringList Items() const { return m_listItems; }

public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message)
    {
        // A path names an object of the caller; a service name its item at the usual path.
        const bool bPath = serviceOrPath.startsWith('/');
        const QString service = bPath ? message.service() : serviceOrPath;
        const QString path = bPath ? serviceOrPath : QString("/StatusNotifierItem");
        m_listItems << service;
        emit StatusNotifierItemRegistered(service);
        // The item sets its properties as it registers: they are read a moment later.
        QTimer::singleShot(500, this, [service, path] {
            const QVariant pixmaps = ItemProperty(service, path, "IconPixmap");
            const QVariant toolTip = ItemProperty(service, path, "ToolTip");
            Print(QString("item service=%1 icon-name=%2 icon-pixmaps=%3 tooltip=%4")
                      .arg(service, ItemProperty(service, path, "IconName").toString())
                      .arg(pixmaps.canConvert<QDBusArgument>() ? PixmapCount(pixmaps.value<QDBusArgument>()) : 0)
                      .arg(toolTip.canConvert<QDBusArgument>() ? ToolTipTitle(toolTip.value<QDBusArgument>())
                                                               : QString()));
        });
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QStringList m_listItems;
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "ovra-test-desktop-bus: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    const auto flags =
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals | QDBusConnection::ExportAllProperties;
    NotificationService notifications;
    StatusNotifierWatcher watcher;
    if (args.contains("--notifications")
        && !(bus.registerObject("/org/freedesktop/Notifications", &notifications, flags)
             && bus.registerService("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "ovra-test-desktop-bus: cannot own org.freedesktop.Notifications\n");
        return 1;
    }
    if (args.contains("--watcher")
        && !(bus.registerObject("/StatusNotifierWatcher", &watcher, flags)
             && bus.registerService("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "ovra-test-desktop-bus: cannot own org.kde.StatusNotifierWatcher\n");
        return 1;
    }
    Print("ready");
    return app.exec();
}

#include "ovra-test-desktop-bus.moc"
