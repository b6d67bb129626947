#include "servicefixture.h"

#include "ovrapaths.h"
#include "printerinfo.h"
#include "statusfile.h"

#include <QDir>
#include <QThread>
#include <QFile>

ServiceFixture::ServiceFixture() : m_cups(m_root.QFilePath("cups"))
{
    qputenv("OVRA_INSTALL_ROOT", m_root.QFilePath("root").toLocal8Bit());
}

ServiceFixture::~ServiceFixture()
{
    StopService();
    m_cups.Stop();
}

bool ServiceFixture::StartCups(QString* error)
{
    QDir().mkpath(m_root.QFilePath("cups"));
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
    env.insert("OVRA_INSTALL_ROOT", m_root.QFilePath("root"));
    return env;
}

bool ServiceFixture::StartService(const QProcessEnvironment& extra, const QStringList& unset)
{
    QProcessEnvironment env = Environment();
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    for (const QString& key : unset)
        env.remove(key);
    m_service.setProcessEnvironment(env);
    m_service.setProcessChannelMode(QProcess::ForwardedChannels);
    m_service.start(OVRA_SERVICE_BINARY, QStringList());
    if (!m_service.waitForStarted(5000))
        return false;
    // The single-instance check is machine-wide: a service that ends at once found another.
    if (m_service.waitForFinished(1500)) {
        qWarning("the print service ended at once: another OvraPrintService runs on this machine");
        return false;
    }
    return true;
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

bool ServiceFixture::StatusFileExists(const QString& queue) const
{
    return QFile::exists(OvraPaths::StatusFile(queue));
}

bool ServiceFixture::ReadState(const QString& queue, stPrinterState& state) const
{
    return ReadStatusFile(queue, state);
}

QByteArray ServiceFixture::StatusFileBytes(const QString& queue) const
{
    QByteArray bytes;
    ReadStatusFileBytes(queue, bytes);
    return bytes;
}

UsbEmulator::UsbEmulator(const QString& dir) : m_socket(dir + "/usb.sock"), m_envFile(dir + "/usb.env") {}

UsbEmulator::~UsbEmulator()
{
    Command("quit");
    m_process.waitForFinished(5000);
}

bool UsbEmulator::Start(const QString& printer)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(OVRA_USB_EMULATOR, {"--socket", m_socket, "--env-file", m_envFile, "--printer", printer});
    if (!m_process.waitForStarted(5000))
        return false;
    for (int i = 0; i < 100 && !QFile::exists(m_envFile); ++i)
        QThread::msleep(50);
    QFile env(m_envFile);
    if (!env.open(QIODevice::ReadOnly))
        return false;
    m_umockdevDir = QString::fromLocal8Bit(env.readAll()).trimmed().section('=', 1);
    return !m_umockdevDir.isEmpty();
}

QString UsbEmulator::Command(const QString& line)
{
    QProcess ctl;
    ctl.start(OVRA_USB_EMULATOR, QStringList{"ctl", m_socket} + line.split(' '));
    ctl.waitForFinished(5000);
    return QString::fromLocal8Bit(ctl.readAllStandardOutput()).trimmed();
}

int UsbEmulator::Count(int id, const char* request)
{
    return Command(QString("count %1 %2").arg(id).arg(request)).section(' ', 1).toInt();
}

QProcessEnvironment UsbEmulator::PreloadEnvironment() const
{
    QProcessEnvironment env;
    env.insert("LD_PRELOAD", "libumockdev-preload.so.0");
    env.insert("UMOCKDEV_DIR", m_umockdevDir);
    return env;
}

ovraemu::EmuPrinterState EmuState(const char* szProduct, const char* szSerial, uint8_t statusCode, uint32_t toner)
{
    ovraemu::EmuPrinterState state;
    state.product = szProduct;
    state.serial = szSerial;
    state.statusCode = statusCode;
    state.SetCounter(0x1000, toner);
    return state;
}

QString HexBytes(const std::vector<uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())).toHex();
}
