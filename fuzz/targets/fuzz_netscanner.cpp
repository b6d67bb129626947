// A network scanner's side of the scanner network protocol: the HTTP answers to the job
// post, abort, capabilities and feeder status requests, the data stream (job header,
// blocks, markers; also as the data process writes it into page files) and the
// attribute replies. The scanner is played through socket pairs (fakepeer.h).
//
// Input: byte 0 the operation, bytes 1-2 the length n of the HTTP answer (little-endian),
// n bytes of HTTP answer, then the bytes of the data port (or of the attribute port).
#include "clientlink.h"
#include "dataprocess.h"
#include "fakepeer.h"
#include "fuzzenv.h"
#include "netscanner.h"
#include "scannerscripts.h"
#include "scanpaths.h"

#include <cstdlib>
#include <cstring>

namespace {

using ovrafuzz::Check;

const int c_iOslTypes = 4; // the three known types and one the daemon does not know

enum enOperation {
    en_Op_ScanJob,
    en_Op_Capabilities,
    en_Op_AdfStatus,
    en_Op_Abort,
    en_Op_Attribute,
    en_Op_DataStream,
    en_Op_Texts,
    en_Op_Count
};

OvraSocket Scanner(int fd)
{
    OvraSocket sock = {};
    sock.tcpFromScanner = fd;
    copyToWire(sock.szScannerIP, "127.0.0.1");
    return sock;
}

// The data process of a network scan, reading the stream until it ends.
void DataProcess(const OvraSocket& sock)
{
    ovrafuzz::ClientLink link;
    runTcpDataProcess(link.DaemonFd(), sock, scanBaseName(1, 0));
    link.Finish();
    ovrafuzz::RemovePageFiles();
}

void ScanJob(const std::string& http, const std::string& stream)
{
    ovrafuzz::SetPortAnswer(OVRA_NET_HTTP_PORT, http);
    ovrafuzz::SetPortAnswer(OVRA_NET_DATA_PORT, stream);
    OvraSocket sock = Scanner(-1);
    SettingInfo settings = {};
    settings.bitDepth = 24;
    settings.xResolution = settings.yResolution = 300;
    const int status = ovra_http_ScanStart(&sock, &settings);
    Check(status == 0 || sock.tcpFromScanner < 0, "failed job post left its data connection");
    if (status == 0)
        DataProcess(sock);
}

void Attribute(uint8_t op, const std::string& reply)
{
    ovrafuzz::SetPortAnswer(OVRA_NET_OSL_PORT, reply);
    char* text = nullptr;
    int length = -1;
    const OSL_CMD_TYPE type = static_cast<OSL_CMD_TYPE>(op / en_Op_Count % c_iOslTypes);
    if (ovra_send_osl(Scanner(-1), &text, type, &length) != 0)
        return;
    Check(text && length >= 0 && size_t(length) <= OVRA_NET_ANSWER_MAX, "attribute reply length");
    Check(size_t(length) + 4 <= reply.size() && memcmp(text, reply.data() + 4, size_t(length)) == 0,
          "attribute reply is not what the scanner sent");
    free(text);
}

void Texts(const std::string& http)
{
    const int status = ovra_http_ScanStartResult(http.c_str());
    Check(status == 0 || status == 3 || status == 4, "job post result");
    ScannerCapabilities capabilities = {};
    ovra_ParseScanCapabilities(&capabilities, http.c_str());
    Check(capabilities.duplex <= 1 && capabilities.color <= 1 && capabilities.permprofiles <= 1
              && capabilities.profile <= 1,
          "capability flag beyond 0 and 1");
    Check(parseLengthField(http.data(), std::min<size_t>(http.size(), OVRA_NET_LENGTH_DIGITS)) >= -1,
          "negative length field");
}

void Run(uint8_t op, const std::string& http, const std::string& rest)
{
    ScannerCapabilities capabilities = {};
    ADFStatus adf = static_cast<ADFStatus>(0);
    switch (static_cast<enOperation>(op % en_Op_Count)) {
    case en_Op_ScanJob: ScanJob(http, rest); break;
    case en_Op_Capabilities:
        ovrafuzz::SetPortAnswer(OVRA_NET_HTTP_PORT, http);
        ovra_http_DeviceProperties(Scanner(-1), &capabilities);
        break;
    case en_Op_AdfStatus:
        ovrafuzz::SetPortAnswer(OVRA_NET_HTTP_PORT, http);
        ovra_http_adfstatus(Scanner(-1), &adf);
        Check(adf >= 0 && adf <= ADF_STATUS_PAPER_JAM, "feeder status");
        break;
    case en_Op_Abort:
        ovrafuzz::SetPortAnswer(OVRA_NET_HTTP_PORT, http);
        ovra_http_ScanAbort(Scanner(-1));
        break;
    case en_Op_Attribute: Attribute(op, rest); break;
    case en_Op_DataStream: DataProcess(Scanner(ovrafuzz::ServedSocket(rest))); break;
    case en_Op_Texts: Texts(http); break;
    case en_Op_Count: break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ovrafuzz::OpenScanLogs();
    if (size < 3)
        return 0;
    const size_t httpLength = std::min<size_t>(data[1] | (data[2] << 8), size - 3);
    const std::string http(reinterpret_cast<const char*>(data + 3), httpLength);
    const std::string rest(reinterpret_cast<const char*>(data + 3 + httpLength), size - 3 - httpLength);

    const std::set<int> before = ovrafuzz::OpenDescriptors();
    Run(data[0], http, rest);
    ovrafuzz::ClearPeers();
    Check(ovrafuzz::OpenDescriptors() == before, "a connection was left open");
    ovrafuzz::CapScanLogs();
    return 0;
}
