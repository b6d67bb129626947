// Runs the real OvraPrintService binary in a temporary install root against a private
// cupsd, and reads back what it publishes.
#pragma once

#include "printerstate.h"
#include "printerstatebuilder.h"
#include "privatecups.h"
#include "installroot.h"

#include <QProcess>
#include <QProcessEnvironment>

class ServiceFixture
{
public:
    ServiceFixture();
    ~ServiceFixture();

    bool StartCups(QString* error);
    bool AddQueue(const QString& name, const QString& uri, const QString& ppd);
    // Starts the service with the environment of this fixture, plus extra variables and
    // without those named in unset.
    bool StartService(const QProcessEnvironment& extra = QProcessEnvironment(), const QStringList& unset = {});
    void StopService();

    // Runs a second service process; its exit code, or -1 when it did not end within ms.
    int RunSecondInstance(int ms);

    QList<stPrinterInfo> PublishedPrinters() const;
    bool StatusFileExists(const QString& queue) const;
    // The decoded status file; false when it is missing or does not parse.
    bool ReadState(const QString& queue, stPrinterState& state) const;
    QByteArray StatusFileBytes(const QString& queue) const;

    PrivateCups& Cups() { return m_cups; }
    QString Root() const { return m_root.QPath(); }
    QProcess& Service() { return m_service; }

private:
    QProcessEnvironment Environment() const;

    TestInstallRoot m_root{"service"};
    PrivateCups m_cups;
    QProcess m_service;
};

// ovra-usbprinter-emu as a separate process, driven over its control socket.
class UsbEmulator
{
public:
    explicit UsbEmulator(const QString& dir);
    ~UsbEmulator();

    bool Start(const QString& printer); // "VID:PID:SERIAL" in hex
    QString Command(const QString& line);
    int Count(int id, const char* request);
    // The environment that shows a program this emulator's bus.
    QProcessEnvironment PreloadEnvironment() const;

private:
    QString m_socket;
    QString m_envFile;
    QString m_umockdevDir;
    QProcess m_process;
};

// An emulated printer's state: its product and serial, status code and toner left.
ovraemu::EmuPrinterState EmuState(const char* szProduct, const char* szSerial, uint8_t statusCode, uint32_t toner);

// Hex text of bytes, as the emulator's control commands take them.
QString HexBytes(const std::vector<uint8_t>& bytes);
