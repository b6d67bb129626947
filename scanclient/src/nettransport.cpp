// A scan on a network scanner: the daemon posts the job to the scanner's address
// (TCP_SCAN_START) and sends the records of its data connection; the abort names that
// data connection. Nothing to hold, wake or give back.
#include "ovrascan/scantransport.h"

namespace ovrascan {

namespace {

class NetTransport : public ScanTransport
{
public:
    NetTransport(ScanClient& client, const ScanTarget& target)
        : m_client(client), m_address(target.address), m_scanner(NetScannerSocket(target.address))
    {
    }

    StepResult Reserve(const SettingInfo&) override { return {}; }

    Reply<FeederReading> Feeder() override
    {
        const Reply<TCPADFStatusRes> status = m_client.NetFeederStatus(NetScannerSocket(m_address));
        return {{status.value.result, status.value.st}, status.transportError};
    }

    Reply<int> WakeUp() override { return {OVRA_STATUS_GOOD, {}}; }

    StepResult Start(const SettingInfo& settings) override
    {
        m_scanner = NetScannerSocket(m_address);
        const Reply<TCPScanStartRes> start = m_client.NetScanStart(m_scanner, settings);
        if (start.Ok())
            m_scanner.tcpFromScanner = start.value.socketDataFd;
        m_baseName = WireText(start.value.fileName);
        return {"starting the scan on " + m_address, start.value.result, start.transportError, {}};
    }

    std::string StartedLine() const override { return "scan started on " + m_address + ": " + m_baseName; }

    Reply<ScanRecord> NextRecord(std::chrono::milliseconds timeout) override
    {
        const Reply<TCPRecordRes> record = m_client.NextNetRecord(timeout);
        return {FromNetRecord(record.value), record.transportError};
    }

    void SendAbort(bool scanRunning) override
    {
        if (!scanRunning)
            return;
        TCPScanAbortReq request{};
        request.socket = m_scanner;
        SetWireText(request.fileName, m_baseName);
        m_client.Connection().SendFromStack(TCP_SCAN_ABORT, request);
    }

    Reply<int> Release() override { return {OVRA_STATUS_GOOD, {}}; }

private:
    ScanClient& m_client;
    const std::string m_address;
    OvraSocket m_scanner; // with the scan's data connection once started
};

} // namespace

const TransportTraits kNetTraits{0, true};

std::unique_ptr<ScanTransport> MakeNetTransport(ScanClient& client, const ScanTarget& target)
{
    return std::make_unique<NetTransport>(client, target);
}

} // namespace ovrascan
