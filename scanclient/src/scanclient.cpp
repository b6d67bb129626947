#include "ovrascan/scanclient.h"

#include <cstring>

namespace ovrascan {

namespace {

std::string CommandName(scanCommandType command)
{
    static const char* const names[] = {"USB_FIND_DEV",           "USB_OPEN_DEV",     "USB_CLOSE_DEV",
                                        "USB_CLEAR_DEV",          "USB_RESET_DEVEP",  "USB_SCAN_START",
                                        "USB_SCAN_ABORT",         "USB_SCAN_LOCK",    "USB_SCAN_UNLOCK",
                                        "USB_SCAN_ADFSTATUS",     "USB_SCAN_POWERON", "USB_SCAN_GETSIZES",
                                        "USB_SCAN_DEVPROPERTIES", "TCP_SEND_OSL",     "TCP_SCAN_START",
                                        "TCP_SCAN_ABORT",         "TCP_SCAN_ADFST",   "TCP_SCAN_DEVPROPERTIES",
                                        "USB_REOPEN_DEV",         "CMD_DELETE_FILE"};
    return command >= 0 && command < OVRA_SCAN_COMMAND_COUNT ? names[command] : "command " + std::to_string(command);
}

USBCommonReq DeviceRequest(int devfd)
{
    USBCommonReq request{};
    request.devfd = devfd;
    return request;
}

TCPCommonReq ScannerRequest(const OvraSocket& scanner)
{
    TCPCommonReq request{};
    request.socket = scanner;
    return request;
}

} // namespace

OvraSocket NetScannerSocket(const std::string& address, int dataFd)
{
    OvraSocket scanner{};
    scanner.tcpFromScanner = dataFd;
    SetWireText(scanner.szScannerIP, address);
    return scanner;
}

ScanClient::ScanClient(DaemonConnection connection) : m_connection(std::move(connection)) {}

template <typename Res>
Reply<Res> ScanClient::ReadReply(std::chrono::milliseconds timeout)
{
    Reply<Res> reply;
    const ReadStatus status = m_connection.Read(&reply.value, sizeof reply.value, timeout);
    if (status != ReadStatus::Ok)
        reply.transportError = ReadStatusText(status);
    return reply;
}

template <typename Res, typename Req>
Reply<Res> ScanClient::Exchange(scanCommandType command, const Req& request)
{
    static_assert(sizeof(Req) > 0, "a request record");
    if (!m_connection.SendCommand(command, &request, sizeof request)) {
        Reply<Res> failed;
        failed.transportError = "sending " + CommandName(command) + " to the daemon failed";
        return failed;
    }
    Reply<Res> reply = ReadReply<Res>(m_replyTimeout);
    if (!reply.Ok())
        reply.transportError = CommandName(command) + ": " + reply.transportError;
    return reply;
}

Reply<FoundDevices> ScanClient::FindUsbDevices(uint16_t vid, uint16_t pid, bool comparePid)
{
    USBFindDevReq request{};
    request.vid = vid;
    request.pid = pid;
    request.compareWithPID = comparePid ? 1 : 0;
    Reply<FoundDevices> found;
    const Reply<int32_t> count = Exchange<int32_t>(USB_FIND_DEV, request);
    found.transportError = count.transportError;
    found.value.count = count.value;
    for (int i = 0; found.Ok() && i < count.value && i < OVRA_USB_DEV_MAX; ++i) {
        const Reply<USBFindDevRes> device = ReadReply<USBFindDevRes>(m_replyTimeout);
        found.transportError = device.transportError;
        if (device.Ok())
            found.value.devices.push_back(device.value);
    }
    return found;
}

Reply<int> ScanClient::OpenDevice(int devfd) { return Exchange<int32_t>(USB_OPEN_DEV, DeviceRequest(devfd)); }

Reply<int> ScanClient::CloseDevice(int devfd) { return Exchange<int32_t>(USB_CLOSE_DEV, DeviceRequest(devfd)); }

Reply<int> ScanClient::Lock(int devfd, const SettingInfo& settings)
{
    USBScanLockReq request{};
    request.devfd = devfd;
    request.info = settings;
    return Exchange<int32_t>(USB_SCAN_LOCK, request);
}

Reply<int> ScanClient::Unlock(int devfd) { return Exchange<int32_t>(USB_SCAN_UNLOCK, DeviceRequest(devfd)); }

Reply<int> ScanClient::PowerOn(int devfd) { return Exchange<int32_t>(USB_SCAN_POWERON, DeviceRequest(devfd)); }

Reply<USBScanAdfStatusRes> ScanClient::UsbFeederStatus(int devfd)
{
    return Exchange<USBScanAdfStatusRes>(USB_SCAN_ADFSTATUS, DeviceRequest(devfd));
}

Reply<USBScanDevicePropertiesRes> ScanClient::UsbProperties(int devfd)
{
    return Exchange<USBScanDevicePropertiesRes>(USB_SCAN_DEVPROPERTIES, DeviceRequest(devfd));
}

Reply<USBScanStartRes> ScanClient::UsbScanStart(int devfd)
{
    return Exchange<USBScanStartRes>(USB_SCAN_START, DeviceRequest(devfd));
}

Reply<USBScanRecordRes> ScanClient::NextUsbRecord(std::chrono::milliseconds timeout)
{
    return ReadReply<USBScanRecordRes>(timeout);
}

Reply<int> ScanClient::UsbAbort(int devfd, const std::string& baseName)
{
    USBScanAbortReq request{};
    request.devfd = devfd;
    SetWireText(request.fileName, baseName);
    return Exchange<int32_t>(USB_SCAN_ABORT, request);
}

Reply<TCPADFStatusRes> ScanClient::NetFeederStatus(const OvraSocket& scanner)
{
    return Exchange<TCPADFStatusRes>(TCP_SCAN_ADFST, ScannerRequest(scanner));
}

Reply<TCPDevPropertiesRes> ScanClient::NetProperties(const OvraSocket& scanner)
{
    return Exchange<TCPDevPropertiesRes>(TCP_SCAN_DEVPROPERTIES, ScannerRequest(scanner));
}

Reply<AttributeReply> ScanClient::NetAttribute(const OvraSocket& scanner, OSL_CMD_TYPE type)
{
    TCPOSLReq request{};
    request.socket = scanner;
    request.type = type;
    const Reply<TCPOSLRes> head = Exchange<TCPOSLRes>(TCP_SEND_OSL, request);
    Reply<AttributeReply> reply;
    reply.transportError = head.transportError;
    reply.value.result = head.value.result;
    if (!head.Ok() || head.value.bufferLen <= 0)
        return reply;
    if (head.value.bufferLen > OVRA_OSL_REPLY_MAX) {
        reply.transportError =
            "TCP_SEND_OSL: the daemon announced " + std::to_string(head.value.bufferLen) + " bytes of reply text";
        return reply;
    }
    reply.value.text.resize(size_t(head.value.bufferLen));
    const ReadStatus status = m_connection.Read(&reply.value.text[0], reply.value.text.size(), m_replyTimeout);
    if (status != ReadStatus::Ok)
        reply.transportError = std::string("TCP_SEND_OSL: ") + ReadStatusText(status);
    return reply;
}

Reply<TCPScanStartRes> ScanClient::NetScanStart(const OvraSocket& scanner, const SettingInfo& settings)
{
    TCPScanStartReq request{};
    request.socket = scanner;
    request.info = settings;
    return Exchange<TCPScanStartRes>(TCP_SCAN_START, request);
}

Reply<TCPRecordRes> ScanClient::NextNetRecord(std::chrono::milliseconds timeout)
{
    return ReadReply<TCPRecordRes>(timeout);
}

Reply<int> ScanClient::NetAbort(const OvraSocket& scanner, const std::string& baseName)
{
    TCPScanAbortReq request{};
    request.socket = scanner;
    SetWireText(request.fileName, baseName);
    return Exchange<int32_t>(TCP_SCAN_ABORT, request);
}

bool ScanClient::DeleteFile(const std::string& path)
{
    CmdDeleteFileReq request{};
    return SetWireText(request.fileName, path) && m_connection.SendCommand(CMD_DELETE_FILE, &request, sizeof request);
}

} // namespace ovrascan
