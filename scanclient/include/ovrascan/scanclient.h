// The scan client protocol, one call per daemon command: the request record goes out,
// the reply record comes back within a time limit. A reply that does not arrive whole
// leaves a transport error; the reply's own result field is the caller's to judge.
#pragma once

#include "ovrascan/daemonconnection.h"

#include <chrono>
#include <string>
#include <vector>

namespace ovrascan {

template <typename T>
struct Reply {
    T value{};
    std::string transportError; // empty when the reply arrived whole
    bool Ok() const { return transportError.empty(); }
};

struct FoundDevices {
    int count = 0; // as the daemon sent it; -1 when it has no USB directory
    std::vector<USBFindDevRes> devices;
};

struct AttributeReply {
    int result = 0;
    std::string text;
};

class ScanClient
{
public:
    explicit ScanClient(DaemonConnection connection);

    DaemonConnection& Connection() { return m_connection; }
    // Time limit for the reply of one command (default 90 s: a network job post may
    // take that long on the daemon's side).
    void SetReplyTimeout(std::chrono::milliseconds timeout) { m_replyTimeout = timeout; }

    // USB devices of the vendor (and product, when comparePid); their handles stay open
    // in the daemon until CloseDevice or the end of the connection.
    Reply<FoundDevices> FindUsbDevices(uint16_t vid, uint16_t pid, bool comparePid);
    Reply<int> OpenDevice(int devfd);
    Reply<int> CloseDevice(int devfd);
    Reply<int> Lock(int devfd, const SettingInfo& settings);
    Reply<int> Unlock(int devfd);
    Reply<int> PowerOn(int devfd);
    Reply<USBScanAdfStatusRes> UsbFeederStatus(int devfd);
    Reply<USBScanDevicePropertiesRes> UsbProperties(int devfd);
    Reply<USBScanStartRes> UsbScanStart(int devfd);
    Reply<USBScanRecordRes> NextUsbRecord(std::chrono::milliseconds timeout);
    Reply<int> UsbAbort(int devfd, const std::string& baseName);

    Reply<TCPADFStatusRes> NetFeederStatus(const OvraSocket& scanner);
    Reply<TCPDevPropertiesRes> NetProperties(const OvraSocket& scanner);
    Reply<AttributeReply> NetAttribute(const OvraSocket& scanner, OSL_CMD_TYPE type);
    Reply<TCPScanStartRes> NetScanStart(const OvraSocket& scanner, const SettingInfo& settings);
    Reply<TCPRecordRes> NextNetRecord(std::chrono::milliseconds timeout);
    Reply<int> NetAbort(const OvraSocket& scanner, const std::string& baseName);

    // Has the daemon remove one page file (the command has no reply).
    bool DeleteFile(const std::string& path);

private:
    template <typename Res, typename Req>
    Reply<Res> Exchange(scanCommandType command, const Req& request);
    template <typename Res>
    Reply<Res> ReadReply(std::chrono::milliseconds timeout);

    DaemonConnection m_connection;
    std::chrono::milliseconds m_replyTimeout{90000};
};

// An OvraSocket naming a network scanner with no data connection yet.
OvraSocket NetScannerSocket(const std::string& address, int dataFd = -1);

// A wire string (NUL-terminated within its array) as text.
template <size_t N>
std::string WireText(const char (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n] != '\0')
        ++n;
    return std::string(field, n);
}

// Copies text into a wire array, cut to fit and terminated; false when it was cut.
template <size_t N>
bool SetWireText(char (&field)[N], const std::string& text)
{
    const size_t n = text.size() < N ? text.size() : N - 1;
    text.copy(field, n);
    for (size_t i = n; i < N; ++i)
        field[i] = '\0';
    return n == text.size();
}

} // namespace ovrascan
