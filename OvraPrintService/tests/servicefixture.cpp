#include "servicefixture.h"

#include "ovrapaths.h"
#include "printerinfo.h"
#include "statusfile.h"

#include <QDir>
#include <QFile>

ServiceFixture::ServiceFixture() : m_cups(m_root.path() + "/cups")
{
    qputenv("OVRA_INSTALL_ROOT", (m_root.path() + "/root").toLocal8Bit());
}

ServiceFixture::~ServiceFixture()
{
    StopService();
    m_cups.Stop();
}

bool ServiceFixture::StartCups(QString* error)
{
    QDir().mkpath(m_root.path() + "/cups");
    return m_cups.Start(error);
}

bool ServiceFixture::AddQueue(const QString& name, const QString& uri, const QString& ppd)
{
    QString error;
    const bool bOk = m_cups.AddQueue(name, uri, PrivateCups::PpdPath(ppd), &error);
    if (!bOk)
        qWarning("AddQueue %s: %s", qPrintable(name), qPrintable(error));
    return bOk;
}

QProcessEnvironment ServiceFixture::Environment() const
{
    QProcessEnvironment env = m_cups.Environment();
    env.insert("OVRA_INSTALL_ROOT", m_root.path() + "/root");
    return env;
}

bool ServiceFixture::StartService(const QProcessEnvironment& extra)
{
    QProcessEnvironment env = Environment();
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    m_service.setProcessEnvironment(env);
    m_service.setProcessChannelMode(QProcess::ForwardedChannels);
    m_service.start(OVRA_SERVICE_BINARY, QStringList());
    return m_service.waitForStarted(5000);
}

void ServiceFixture::StopService()
{
    if (m_service.state() == QProcess::NotRunning)
        return;
    m_service.kill();
    m_service.waitForFinished(5000);
}

int ServiceFixture::RunSecondInstance(int ms)
{
    QProcess second;
    second.setProcessEnvironment(Environment());
    second.start(OVRA_SERVICE_BINARY, QStringList());
    if (!second.waitForFinished(ms)) {
        second.kill();
        second.waitForFinished();
        return -1;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

QList<stPrinterInfo> ServiceFixture::PublishedPrinters() const { return GetPrinterInfo(); }

bool ServiceFixture::StatusFileExists(const QString& queue) const { return QFile::exists(OvraPaths::StatusFile(queue)); }

bool ServiceFixture::ReadState(const QString& queue, stPrinterState& state) const { return ReadStatusFile(queue, state); }

QByteArray ServiceFixture::StatusFileBytes(const QString& queue) const
{
    QByteArray bytes;
    ReadStatusFileBytes(queue, bytes);
    return bytes;
}
