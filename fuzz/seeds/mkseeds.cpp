// Writes the binary seeds of the fuzz targets into <folder>/<target>/: valid printer
// status responses and network-settings replies as the emulators build them, USB and
// network scanner conversations, scan client sessions, and CUPS's answers about jobs.
#include "fakeusb.h"
#include "fuzzenv.h"
#include "netform.h"
#include "ovrascannerusb.h"
#include "printerstatebuilder.h"
#include "scannerreplies.h"
#include "scannerscripts.h"
#include "settingsresponder.h"

#include <cups/cups.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::string g_out;

void Seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    ovrafuzz::MakeDirs(g_out + "/" + target);
    ovrafuzz::WriteFile(g_out + "/" + target + "/" + name, reinterpret_cast<const uint8_t*>(bytes.data()),
                        bytes.size());
}

std::string Str(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

template <typename Record>
std::string Raw(const Record& record)
{
    return std::string(reinterpret_cast<const char*>(&record), sizeof(record));
}

// ---- printer status responses
void PrinterStatus()
{
    using namespace ovraemu;
    const char* target = "fuzz_printerstatus";
    EmuPrinterState ready;
    ready.product = "P2200DN";
    ready.serial = "AB12";
    ready.SetCounter(0x1000, 80).SetCounter(0x1003, 1200).SetCounter(0x1101, 77);
    Seed(target, "ready-udp", Str(BuildUdpStatusReply(ready)));
    Seed(target, "ready-usb", std::string(7, '\0') + Str(BuildStatusBody(ready)));

    EmuPrinterState faults = ready;
    faults.statusCode = 0x10;
    faults.errors = {0x110D, 0x1212, 0x11B3};
    faults.warnings = {0x11A0, 0x5000};
    faults.supplies.push_back({0x0000, {'S', 'U', 'P', '1'}});
    faults.supplies.push_back({0x0001, {2}});
    faults.supplies.push_back({0x1002, {0x01, 0xF4}});
    faults.supplies.push_back({0x1004, {1, 2, 3, 4, 5}});
    Seed(target, "errors-warnings-supplies", Str(BuildUdpStatusReply(faults)));

    EmuPrinterState longTexts = ready;
    longTexts.vendor = std::string(300, 'V');
    longTexts.firmware = std::string(255, 'F');
    longTexts.supplies.push_back({0x0000, Bytes(70, 'S')});
    Seed(target, "texts-beyond-capacity", Str(BuildUdpStatusReply(longTexts)));
    Seed(target, "smallest", std::string(31, '\0'));
    // Bytes after the last item are ignored; this one is longer than the receive buffer.
    std::string padded = Str(BuildUdpStatusReply(ready));
    padded.resize(2100, '\x7e');
    Seed(target, "longer-than-receive-buffer", padded);
}

// ---- network-settings replies
Bytes Request(void (*build)(unsigned char*, int*))
{
    unsigned char request[128];
    int length = 0;
    build(request, &length);
    return Bytes(request, request + length);
}

Bytes ReadRequest(int block)
{
    unsigned char request[128];
    int length = 0;
    NetForm::ReadRequest(block, request, &length);
    return Bytes(request, request + length);
}

void NetSettings()
{
    const char* target = "fuzz_netsettings";
    ovraemu::SettingsResponder printer;
    printer.SetProbeText("ok");
    printer.SetModeText("Static");
    const char* addresses[] = {"192.168.1.20", "255.255.255.0", "192.168.1.1", "8.8.8.8",
                               "8.8.4.4",      "192.168.1.2",   "0.0.0.0"};
    for (int k = 1; k <= 7; ++k)
        printer.SetAddress(k, addresses[k - 1]);
    Seed(target, "probe-block1", Str(*printer.Answer(Request(NetForm::ProbeRequest))));
    Seed(target, "read-block1-static", Str(*printer.Answer(ReadRequest(1))));
    printer.SetProbeText(std::string());
    printer.SetModeText("DHCP");
    printer.SetZeroTerminated(false);
    Seed(target, "probe-block0", Str(*printer.Answer(Request(NetForm::ProbeRequest))));
    Seed(target, "read-block0-dhcp-unterminated", Str(*printer.Answer(ReadRequest(0))));
}

// ---- USB scanner conversations: n - 1, the operations, 36 bytes of settings, the script
std::string UsbInput(const std::string& ops, const SettingInfo& settings, const std::string& script)
{
    return std::string(1, char(ops.size() - 1)) + ops + Raw(settings) + script;
}

std::string StringDescriptor(const std::u16string& text)
{
    std::string bytes = {char(2 + 2 * text.size()), 3};
    for (char16_t c : text) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    return ovrafuzz::UsbChunk(bytes);
}

void UsbScanner()
{
    const char* target = "fuzz_usbscanner";
    SettingInfo settings = {};
    settings.bitDepth = 24;
    settings.compType = COMPRESSION_JPEG;
    settings.width = 2550;
    settings.height = 3300;
    settings.xResolution = settings.yResolution = 1200;
    settings.feederEnabled = 1;
    // Lock, power on, properties, feeder status, start, the scan's data process, unlock:
    // the order of the healthy scanner's answers.
    const std::string scanOps = {3, 6, 1, 2, 0, 9, 4};
    Seed(target, "scan-session", UsbInput(scanOps, settings, ovrafuzz::HealthyUsbScanner()));

    const std::string languages = ovrafuzz::UsbChunk(std::string("\x04\x03\x09\x04", 4));
    Seed(target, "device-strings",
         UsbInput(std::string(1, 10), settings,
                  languages + StringDescriptor(u"Ovra") + languages + StringDescriptor(u"K246 Scanner \u00e9\u0416")
                      + languages + StringDescriptor(u"SN0001")));

    const std::string abort = ovrafuzz::UsbChunk(ScanResponse(OVRA_SCAN_CODE_ABORT, OVRA_SCAN_RESPONSE_SUCCESS));
    const std::string refused = ovrafuzz::UsbChunk(ScanResponse(OVRA_SCAN_CODE_LOCK, OVRA_SCAN_RESPONSE_REFUSED));
    Seed(target, "abort-refused-lock",
         UsbInput(std::string({7, 8, 3}), settings, abort + abort + refused + ovrafuzz::UsbFailedTransfer()));
}

// ---- network scanner conversations: operation, HTTP answer length (2 bytes), answer, rest
std::string NetInput(uint8_t op, const std::string& http, const std::string& rest)
{
    return std::string{char(op), char(http.size() & 0xFF), char(http.size() >> 8)} + http + rest;
}

void NetScanner()
{
    const char* target = "fuzz_netscanner";
    const ovrafuzz::stNetScannerAnswers& net = ovrafuzz::HealthyNetScanner();
    Seed(target, "scan-job", NetInput(0, net.strJobPost, net.strStream));
    Seed(target, "capabilities", NetInput(1, net.strCapabilities, ""));
    Seed(target, "feeder", NetInput(2, net.strFeeder, ""));
    Seed(target, "abort", NetInput(3, net.strAbort, ""));
    Seed(target, "attribute", NetInput(4, "", net.strAttribute));
    Seed(target, "blocks", NetInput(5, "", net.strBlocks));
    Seed(target, "texts", NetInput(6, net.strAll, ""));
}

// ---- scan client sessions
template <typename Request>
std::string Command(scanCommandType type, const Request& request)
{
    return Raw(int32_t(type)) + Raw(request);
}

OvraSocket Scanner(int fd)
{
    OvraSocket sock = {};
    sock.tcpFromScanner = fd;
    std::strcpy(sock.szScannerIP, "127.0.0.1");
    return sock;
}

// fuzz_dispatcher takes every descriptor below 64 before an input. Then a first
// USB_FIND_DEV walks the USB folder on 64 and 65 and opens the device as 66; a first
// TCP_SCAN_START has its HTTP connection on 64 and its data connection on 65.
const int c_iFirstHandle = 66;
const int c_iFirstDataConnection = 65;

void Dispatcher()
{
    const char* target = "fuzz_dispatcher";
    SettingInfo settings = {};
    settings.bitDepth = 8;
    settings.xResolution = settings.yResolution = 300;
    const USBFindDevReq find = {0x3a53, 0x0246, 1, {}};
    const int handle = c_iFirstHandle;
    const USBCommonReq common = {handle};
    USBScanLockReq lock = {handle, settings};
    USBScanAbortReq abort = {handle, {}};
    USBReopenDevReq reopen = {handle, 0x3a53, 0x0246, {}};
    Seed(target, "usb-session",
         Command(USB_FIND_DEV, find) + Command(USB_OPEN_DEV, common) + Command(USB_SCAN_LOCK, lock)
             + Command(USB_SCAN_POWERON, common) + Command(USB_SCAN_DEVPROPERTIES, common)
             + Command(USB_SCAN_ADFSTATUS, common) + Command(USB_SCAN_START, common)
             + Command(USB_CLEAR_DEV, USBClearDevEpReq{handle, 0x82})
             + Command(USB_RESET_DEVEP, USBResetDevEpReq{handle, 0x02}) + Command(USB_SCAN_GETSIZES, common)
             + Command(USB_SCAN_UNLOCK, common) + Command(USB_SCAN_ABORT, abort) + Command(USB_REOPEN_DEV, reopen)
             + Command(USB_CLOSE_DEV, common));
    TCPScanAbortReq tcpAbort = {Scanner(c_iFirstDataConnection), {}};
    std::strcpy(tcpAbort.fileName, "/opt/ovra/ovra-printer-k246/scan/ovrascandata_1_0");
    CmdDeleteFileReq remove = {};
    std::strcpy(remove.fileName, "/opt/ovra/ovra-printer-k246/scan/ovrascandata_1_0_0.tmp");
    Seed(target, "tcp-session",
         Command(TCP_SEND_OSL, TCPOSLReq{Scanner(-1), OSL_CMD_SUMMARY})
             + Command(TCP_SCAN_ADFST, TCPCommonReq{Scanner(-1)})
             + Command(TCP_SCAN_DEVPROPERTIES, TCPCommonReq{Scanner(-1)})
             + Command(TCP_SCAN_START, TCPScanStartReq{Scanner(-1), settings}) + Command(TCP_SCAN_ABORT, tcpAbort)
             + Command(CMD_DELETE_FILE, remove));
    Seed(target, "undefined-and-cut", Raw(int32_t(20)) + Raw(int32_t(-1)) + Raw(int32_t(USB_REOPEN_DEV)) + "cut");
}

// ---- CUPS's answers to Get-Jobs and Get-Job-Attributes
ssize_t AppendIpp(void* pContext, ipp_uchar_t* pBuffer, size_t iBytes)
{
    static_cast<std::string*>(pContext)->append(reinterpret_cast<const char*>(pBuffer), iBytes);
    return ssize_t(iBytes);
}

struct stSeedJob {
    int iId;
    int iState;
    std::vector<const char*> reasons;
    const char* szMessage;
};

std::string IppJobs(const std::vector<stSeedJob>& jobs)
{
    ipp_t* pResponse = ippNew();
    ippSetStatusCode(pResponse, IPP_STATUS_OK);
    ippSetRequestId(pResponse, 1);
    ippAddString(pResponse, IPP_TAG_OPERATION, IPP_TAG_CHARSET, "attributes-charset", nullptr, "utf-8");
    ippAddString(pResponse, IPP_TAG_OPERATION, IPP_TAG_LANGUAGE, "attributes-natural-language", nullptr, "en");
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (i > 0)
            ippAddSeparator(pResponse);
        const stSeedJob& job = jobs[i];
        ippAddInteger(pResponse, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-id", job.iId);
        ippAddInteger(pResponse, IPP_TAG_JOB, IPP_TAG_ENUM, "job-state", job.iState);
        ippAddStrings(pResponse, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-state-reasons", int(job.reasons.size()), nullptr,
                      job.reasons.data());
        if (job.szMessage)
            ippAddString(pResponse, IPP_TAG_JOB, IPP_TAG_TEXT, "job-printer-state-message", nullptr, job.szMessage);
    }
    std::string bytes;
    ippWriteIO(&bytes, AppendIpp, 1, nullptr, pResponse);
    ippDelete(pResponse);
    return bytes;
}

void CupsJobs()
{
    const std::string target = "fuzz_cupsjobs";
    Seed(target, "printing",
         IppJobs({{7, IPP_JSTATE_PROCESSING, {"job-printing"}, "Sending data to printer."},
                  {8, IPP_JSTATE_PENDING, {"none"}, nullptr}}));
    Seed(target, "processing",
         IppJobs({{3, IPP_JSTATE_PROCESSING, {"job-hold-until-specified"}, "Processing page 2"},
                  {4, IPP_JSTATE_HELD, {"job-hold-until-specified"}, "Processing"}}));
    Seed(target, "canceled",
         IppJobs({{7, IPP_JSTATE_CANCELED, {"job-canceled-by-user"}, nullptr},
                  {9, IPP_JSTATE_COMPLETED, {"job-completed-successfully"}, "Ready"}}));
    Seed(target, "empty", IppJobs({}));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    g_out = argv[1];
    PrinterStatus();
    NetSettings();
    UsbScanner();
    NetScanner();
    Dispatcher();
    CupsJobs();
    return 0;
}
