// The service binary end to end with an emulated USB printer in another process: the
// service runs under umockdev's preload library, a private cupsd holds the queue.
#include "servicefixture.h"

#include "printerstatebuilder.h"

#include <QtTest>

namespace {

// ovra-usbprinter-emu as a separate process, driven over its control socket.
class UsbEmulator
{
public:
    explicit UsbEmulator(const QString& dir) : m_socket(dir + "/usb.sock"), m_envFile(dir + "/usb.env") {}
    ~UsbEmulator()
    {
        Command("quit");
        m_process.waitForFinished(5000);
    }

    bool Start(const QString& printer)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(OVRA_USB_EMULATOR, {"--socket", m_socket, "--env-file", m_envFile, "--printer", printer});
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100 && !QFile::exists(m_envFile); ++i)
            QTest::qWait(50);
        QFile env(m_envFile);
        if (!env.open(QIODevice::ReadOnly))
            return false;
        m_umockdevDir = QString::fromLocal8Bit(env.readAll()).trimmed().section('=', 1);
        return !m_umockdevDir.isEmpty();
    }

    QString Command(const QString& line)
    {
        QProcess ctl;
        ctl.start(OVRA_USB_EMULATOR, QStringList{"ctl", m_socket} + line.split(' '));
        ctl.waitForFinished(5000);
        return QString::fromLocal8Bit(ctl.readAllStandardOutput()).trimmed();
    }

    int Count(int id, const char* request) { return Command(QString("count %1 %2").arg(id).arg(request)).section(' ', 1).toInt(); }

    // The environment that shows a program this emulator's bus.
    QProcessEnvironment PreloadEnvironment() const
    {
        QProcessEnvironment env;
        env.insert("LD_PRELOAD", "libumockdev-preload.so.0");
        env.insert("UMOCKDEV_DIR", m_umockdevDir);
        return env;
    }

private:
    QString m_socket;
    QString m_envFile;
    QString m_umockdevDir;
    QProcess m_process;
};

QString Hex(const std::vector<uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())).toHex();
}

ovraemu::EmuPrinterState Printing()
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = "USBE2E01";
    state.statusCode = 0x10;
    state.SetCounter(0x1000, 5000);
    return state;
}

} // namespace

class TestServiceUsbE2E : public QObject
{
    Q_OBJECT
private slots:
    void usbPrinterLifeCycle()
    {
        ServiceFixture fixture;
        QString error;
        QVERIFY2(fixture.StartCups(&error), qPrintable(error));
        QVERIFY(fixture.AddQueue("ovra-usb", "usb://Ovra/P2200DN?serial=USBE2E01", "ovra-p2200dn"));

        UsbEmulator usb(fixture.Root());
        QVERIFY(usb.Start("3a53:0122:USBE2E01"));
        const std::vector<uint8_t> body = ovraemu::BuildStatusBody(Printing());
        QCOMPARE(usb.Command("status 2 " + Hex(body)), QString("ok"));
        QVERIFY(fixture.StartService(usb.PreloadEnvironment()));

        // The status file: seven zero bytes, then the printer's reply.
        const QByteArray expected = QByteArray(7, '\0') + QByteArray::fromHex(Hex(body).toLatin1());
        QTRY_COMPARE_WITH_TIMEOUT(fixture.StatusFileBytes("ovra-usb"), expected, 15000);
        QCOMPARE(fixture.PublishedPrinters().first().strPort, QString("Ovra/P2200DN?serial=USBE2E01"));

        // A job prints, the user cancels it in CUPS: one cancel request reaches the printer.
        const QString jobId = fixture.Cups().Print("ovra-usb", "job data", &error);
        QVERIFY2(!jobId.isEmpty(), qPrintable(error));
        QTest::qWait(5000);   // a few job checks see it printing
        QCOMPARE(usb.Count(2, "34"), 0);
        QVERIFY2(fixture.Cups().Cancel(jobId, &error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(usb.Count(2, "34"), 1, 10000);
        QTest::qWait(4000);
        QCOMPARE(usb.Count(2, "34"), 1);

        // Unplugged: the status file goes at the next poll.
        QCOMPARE(usb.Command("unplug 2"), QString("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.StatusFileExists("ovra-usb"), 10000);
        QCOMPARE(fixture.Service().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestServiceUsbE2E)
#include "tst_service_usb_e2e.moc"
