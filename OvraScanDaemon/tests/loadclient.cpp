#include "loadclient.h"

#include "ovrascan/scansettings.h"
#include "scanpaths.h"
#include "testsupport.h"

#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

using namespace std::chrono_literals;
using ovrascan::Reply;

namespace {

const auto c_replyTimeout = 30s;
const int c_mixKinds = 20;
const int c_firstNetworkKind = 17;
const int c_twoWritesKind = 14; // an undefined command, then USB_OPEN_DEV
const uint16_t c_absentVendor = 0xFFFE;
// An address no scanner listens on: an abort reaches the scanner whoever names it, so
// one sent to a real scanner would end other clients' scans.
const char c_szNoScanner[] = "127.0.0.199";

std::string familyText(int index) { return "<family>K246-" + std::to_string(index) + "</family>"; }

// A multi-page feeder job in colour, JPEG.
SettingInfo feederSettings()
{
    ovrascan::ScanSettings settings;
    settings.source = ovrascan::ScanSource::FeederMultiPage;
    return ovrascan::ToSettingInfo(settings);
}

ovraemu::NetScanJob smallPages(int index)
{
    ovraemu::NetScanJob job;
    job.pages = 2;
    job.pageBytes = 2000 + static_cast<size_t>(index) * 37;
    job.blockSize = 700;
    return job;
}

} // namespace

LoadClient::LoadClient(int index, ovraemu::NetScanner& scanner) : m_index(index), m_scanner(scanner)
{
    m_scanner.SetFeeder(ovraemu::FeederState::Loaded);
    m_scanner.SetAttributeReply("system", "familyType", familyText(index));
}

bool LoadClient::Connect(uint16_t port)
{
    std::string error;
    ovrascan::DaemonConnection connection = ovrascan::DaemonConnection::ConnectLocal(port, &error);
    if (!Check(connection.IsOpen(), "connect: " + error))
        return false;
    // Some commands of the mix are sent in two writes (an undefined code, then
    // a command): they go out at once, not after the daemon's acknowledgement.
    int one = 1;
    setsockopt(connection.Fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    m_client = std::make_unique<ovrascan::ScanClient>(std::move(connection));
    m_client->SetReplyTimeout(c_replyTimeout);
    // The first bytes follow the connect at once, in two segments, while
    // the other clients connect too.
    Count(Command(c_twoWritesKind));
    return m_tally.wrongReplies == 0;
}

void LoadClient::Close() { m_client.reset(); }

bool LoadClient::Check(bool ok, const std::string& what)
{
    if (!ok && m_tally.firstProblem.empty())
        m_tally.firstProblem = what;
    return ok;
}

void LoadClient::Count(bool rightReply)
{
    if (rightReply)
        ++m_tally.commands;
    else
        ++m_tally.wrongReplies;
}

void LoadClient::RunCommands(int count)
{
    for (int i = 0; i < count && m_client; ++i, ++m_step)
        Count(Command((m_step + m_index) % c_mixKinds));
}

bool LoadClient::Command(int kind)
{
    if (kind >= c_firstNetworkKind)
        return NetworkCommand(kind);
    // Descriptor numbers that exist in a connection process (standard
    // descriptors, logs, the client socket) and some that do not: none of them
    // is a handle this connection opened.
    int32_t handle = (m_step / c_mixKinds) % 2 ? (m_step / c_mixKinds) % 9 : 1000 + m_index;
    return UsbCommand(kind, handle);
}

bool LoadClient::IntCommand(scanCommandType command, const void* request, size_t size, int32_t expected)
{
    int32_t result = -100;
    ovrascan::ReadStatus status = ovrascan::ReadStatus::Failed;
    if (m_client->Connection().SendCommand(command, request, size))
        status = m_client->Connection().Read(&result, sizeof(result), c_replyTimeout);
    return Check(status == ovrascan::ReadStatus::Ok && result == expected,
                 "command " + std::to_string(command) + " replied " + std::to_string(result) + " ("
                     + ovrascan::ReadStatusText(status) + ")");
}

bool LoadClient::OpenDevRefused()
{
    USBCommonReq req = {1000 + m_index};
    return IntCommand(USB_OPEN_DEV, &req, sizeof(req), 9);
}

bool LoadClient::UsbCommand(int kind, int32_t handle)
{
    USBCommonReq common = {handle};
    switch (kind) {
    case 0: return IntCommand(USB_OPEN_DEV, &common, sizeof(common), 9);
    case 1: return IntCommand(USB_CLOSE_DEV, &common, sizeof(common), 9);
    case 2: return IntCommand(USB_SCAN_UNLOCK, &common, sizeof(common), 9);
    case 3: return IntCommand(USB_SCAN_POWERON, &common, sizeof(common), 9);
    case 4: return IntCommand(USB_SCAN_GETSIZES, &common, sizeof(common), 9);
    case 5: {
        USBScanLockReq lock = {};
        lock.devfd = handle;
        lock.info = feederSettings();
        return IntCommand(USB_SCAN_LOCK, &lock, sizeof(lock), 9);
    }
    case 6: {
        Reply<USBScanAdfStatusRes> r = m_client->UsbFeederStatus(handle);
        return Check(r.Ok() && r.value.result == 9 && r.value.st == 0, "USB_SCAN_ADFSTATUS " + r.transportError);
    }
    case 7: {
        Reply<USBScanDevicePropertiesRes> r = m_client->UsbProperties(handle);
        return Check(r.Ok() && r.value.result == 9, "USB_SCAN_DEVPROPERTIES " + r.transportError);
    }
    case 8:
    case 9: {
        USBClearDevEpReq ep = {handle, 0x82};
        return IntCommand(kind == 8 ? USB_CLEAR_DEV : USB_RESET_DEVEP, &ep, sizeof(ep), 9);
    }
    case 10: {
        USBReopenDevReq reopen = {};
        reopen.devfd = handle;
        reopen.vid = c_absentVendor;
        USBReopenDevRes res = {};
        bool ok = m_client->Connection().SendCommand(USB_REOPEN_DEV, &reopen, sizeof(reopen))
                  && m_client->Connection().Read(&res, sizeof(res), c_replyTimeout) == ovrascan::ReadStatus::Ok;
        return Check(ok && res.ret == 9, "USB_REOPEN_DEV");
    }
    case 11: {
        // Refused, yet it takes a scan number: the name tells which.
        Reply<USBScanStartRes> r = m_client->UsbScanStart(handle);
        return Check(r.Ok() && r.value.result == 9, "USB_SCAN_START " + r.transportError)
               && CheckBaseName(ovrascan::WireText(r.value.fileName));
    }
    case 12: return Check(m_client->UsbAbort(handle, "").value == 9, "USB_SCAN_ABORT");
    case 13:
        return Check(m_client->NetAbort(ovrascan::NetScannerSocket(c_szNoScanner, handle), "").value == 9,
                     "TCP_SCAN_ABORT");
    case c_twoWritesKind: {
        // An undefined command has no reply; the next command is read as usual.
        int32_t undefined = m_step % 2 ? OVRA_SCAN_COMMAND_COUNT + m_step % 100 : -1 - m_index;
        return Check(m_client->Connection().SendCommand(static_cast<scanCommandType>(undefined), nullptr, 0),
                     "undefined command")
               && OpenDevRefused();
    }
    case 15: {
        // A page file of a scan that is not this connection's; no reply.
        return Check(m_client->DeleteFile(pageFileName(scanBaseName(1, m_step), 0)), "CMD_DELETE_FILE")
               && OpenDevRefused();
    }
    default: {
        // Another vendor's devices are never looked for: always none.
        Reply<ovrascan::FoundDevices> r = m_client->FindUsbDevices(c_absentVendor, c_absentVendor, true);
        return Check(r.Ok() && r.value.count == 0, "USB_FIND_DEV " + r.transportError);
    }
    }
}

bool LoadClient::NetworkCommand(int kind)
{
    const OvraSocket scanner = ovrascan::NetScannerSocket(m_scanner.Address());
    if (kind == c_firstNetworkKind) {
        Reply<TCPADFStatusRes> r = m_client->NetFeederStatus(scanner);
        return Check(r.Ok() && r.value.result == 0 && r.value.st == ADF_STATUS_LOADED,
                     "TCP_SCAN_ADFST " + r.transportError);
    }
    if (kind == c_firstNetworkKind + 1) {
        Reply<TCPDevPropertiesRes> r = m_client->NetProperties(scanner);
        const ovraemu::EmuCapabilities emu;
        return Check(r.Ok() && r.value.result == 0 && r.value.devPro.maxres == emu.maxres
                         && r.value.devPro.family == emu.family && r.value.devPro.color == emu.color,
                     "TCP_SCAN_DEVPROPERTIES " + r.transportError);
    }
    Reply<ovrascan::AttributeReply> r = m_client->NetAttribute(scanner, OSL_CMD_FAMILYTYPE);
    return Check(r.Ok() && r.value.result == 0 && r.value.text == familyText(m_index),
                 "TCP_SEND_OSL " + r.transportError);
}

// Every scan start of the connection, refused or not, takes the next number.
bool LoadClient::CheckBaseName(const std::string& baseName)
{
    int number = m_scanStarts++;
    if (number == 0 && baseName.size() > 1 && baseName.back() == '0')
        m_namePrefix = baseName.substr(0, baseName.size() - 1);
    return Check(isScanBaseName(baseName) && baseName == m_namePrefix + std::to_string(number),
                 "scan name " + baseName + " for scan " + std::to_string(number));
}

bool LoadClient::StartScan(const ovraemu::NetScanJob& job, stScan& scan)
{
    m_scanner.SetJob(job);
    scan = stScan();
    scan.job = m_scanner.Jobs().size();
    Reply<TCPScanStartRes> r =
        m_client->NetScanStart(ovrascan::NetScannerSocket(m_scanner.Address()), feederSettings());
    if (!Check(r.Ok() && r.value.result == 0,
               "TCP_SCAN_START " + r.transportError + " result " + std::to_string(r.value.result)))
        return false;
    scan.baseName = ovrascan::WireText(r.value.fileName);
    scan.dataFd = r.value.socketDataFd;
    return CheckBaseName(scan.baseName);
}

// The record that opens page k carries fileIndex k, the others the number of
// pages opened so far; the last one reports the end of the data.
bool LoadClient::ReadRecordsToEnd(stScan& scan)
{
    TCPRecordRes record = {};
    do {
        Reply<TCPRecordRes> r = m_client->NextNetRecord(c_replyTimeout);
        if (!Check(r.Ok(), "record: " + r.transportError))
            return false;
        record = r.value;
        bool opensPage = record.st == SCAN_STATUS_BEGIN_OF_PAGE;
        if (!Check(record.fileIndex == scan.pages, "record of page " + std::to_string(record.fileIndex)))
            return false;
        scan.pages += opensPage ? 1 : 0;
    } while (record.result == 0);
    return Check(record.result == 5 && record.st == SCAN_STATUS_END_OF_DATA,
                 "last record result " + std::to_string(record.result));
}

bool LoadClient::PagesMatchScanner(const stScan& scan)
{
    std::vector<ovraemu::ScanJobRecord> jobs = m_scanner.Jobs();
    if (!Check(jobs.size() > scan.job && jobs[scan.job].pages.size() == static_cast<size_t>(scan.pages),
               "pages of the scanner's job"))
        return false;
    for (int p = 0; p < scan.pages; ++p) {
        const std::vector<uint8_t>& image = jobs[scan.job].pages[static_cast<size_t>(p)];
        if (!Check(readFile(pageFileName(scan.baseName, p)) == std::string(image.begin(), image.end()),
                   "page file " + std::to_string(p) + " of " + scan.baseName))
            return false;
    }
    return true;
}

bool LoadClient::NoPagesLeft(const stScan& scan)
{
    for (int p = 0; p <= scan.pages; ++p) {
        if (!Check(!fileExists(pageFileName(scan.baseName, p)), "page left: " + pageFileName(scan.baseName, p)))
            return false;
    }
    return true;
}

bool LoadClient::Abort(const stScan& scan)
{
    Reply<int> r = m_client->NetAbort(ovrascan::NetScannerSocket(m_scanner.Address(), scan.dataFd), scan.baseName);
    return Check(r.Ok() && r.value == 0, "TCP_SCAN_ABORT " + r.transportError + " result " + std::to_string(r.value));
}

void LoadClient::CountScan(bool ok)
{
    if (ok)
        ++m_tally.scans;
    else
        ++m_tally.failedScans;
}

void LoadClient::Scan()
{
    m_lastScan = stScan();
    m_lastScanOk = m_client && StartScan(smallPages(m_index), m_lastScan) && ReadRecordsToEnd(m_lastScan)
                   && PagesMatchScanner(m_lastScan);
}

void LoadClient::DeletePages()
{
    bool ok = m_lastScanOk;
    for (int p = 0; ok && p < m_lastScan.pages; ++p)
        ok = Check(m_client->DeleteFile(pageFileName(m_lastScan.baseName, p)), "CMD_DELETE_FILE");
    CountScan(ok && OpenDevRefused() && NoPagesLeft(m_lastScan));
}

void LoadClient::ScanThenAbort()
{
    stScan scan;
    bool ok = m_client && StartScan(smallPages(m_index), scan) && ReadRecordsToEnd(scan) && PagesMatchScanner(scan)
              && Abort(scan) && NoPagesLeft(scan);
    CountScan(ok);
}

void LoadClient::ScanAbortedMidway()
{
    ovraemu::NetScanJob job = smallPages(m_index);
    job.fault.kind = ovraemu::DataFaultKind::ShortBlock;
    job.fault.page = 1;
    job.fault.deliveredBytes = 100;
    stScan scan;
    bool ok = m_client && StartScan(job, scan);
    // Page 0 whole, then the record that opens page 1; then the scanner is silent.
    while (ok && scan.pages < 2) {
        Reply<TCPRecordRes> r = m_client->NextNetRecord(c_replyTimeout);
        ok = Check(r.Ok() && r.value.result == 0, "record before the stall: " + r.transportError);
        scan.pages += ok && r.value.st == SCAN_STATUS_BEGIN_OF_PAGE ? 1 : 0;
    }
    ok = ok && Abort(scan) && NoPagesLeft(scan);
    ok = ok && Check(m_scanner.WaitForJobEnd(scan.job, 5s), "the scanner's job did not end");
    CountScan(ok);
}
