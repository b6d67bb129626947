#include "scannerscripts.h"

#include "fakeusb.h"
#include "fuzzenv.h"
#include "httpanswers.h"
#include "ovraemu/netscanner.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "scannerreplies.h"
#include "streamheaders.h"
#include "attributes.h"
#include "usbscanner.h"

namespace ovrafuzz {

namespace {

// Well below the size at which the daemon rolls a log over: a roll-over opens the
// log afresh, on another descriptor, and the targets compare descriptors per input.
const long c_lLogCap = 256L << 10;
const char c_szPageFilePrefix[] = "ovrascandata_";

std::string JobStart()
{
    using namespace ovraemu;
    const std::string jobData = "PAGES=1\nTYPE=RAW\nSOURCE=FLATBED\nRESOLUTION=300\n";
    return JobHeader(jobData.size(), SizeFieldStyle::ZeroPadded) + jobData;
}

std::string Blocks()
{
    using namespace ovraemu;
    const std::string pageData = "PAGE=0\nWIDTH=8\nHEIGHT=4\n";
    const std::string image(32, '\x5a');
    return kNewFileMarker + PageHeader(pageData.size(), SizeFieldStyle::SpacePadded) + pageData
           + DataBlockHeader(20, SizeFieldStyle::ZeroPadded) + image.substr(0, 20)
           + DataBlockHeader(12, SizeFieldStyle::SpacePadded) + image.substr(20) + kJobDoneMarker;
}

std::string Attribute()
{
    ovraemu::AttributeQuery query;
    query.requestId = 10001;
    query.objName = "system";
    query.attribName = "familyType";
    const std::string text =
        ovraemu::AttributeReplyText(query, ovraemu::DefaultAttributeValue(query.objName, query.attribName));
    return ovraemu::LengthPrefix(static_cast<uint32_t>(text.size())) + text;
}

stNetScannerAnswers MakeNetAnswers()
{
    using namespace ovraemu;
    stNetScannerAnswers answers;
    answers.strJobPost = HttpAnswer(200, JobPostBody(kPostResultSuccess));
    answers.strAbort = HttpAnswer(200, JobPostBody(kPostResultSuccess));
    answers.strCapabilities = HttpAnswer(200, CapabilitiesBody(EmuCapabilities()));
    answers.strFeeder = HttpAnswer(200, FeederStatusBody(FeederState::Loaded));
    answers.strAll = HttpAnswer(200, JobPostBody(kPostResultSuccess) + CapabilitiesBody(EmuCapabilities())
                                         + FeederStatusBody(FeederState::Loaded));
    answers.strBlocks = Blocks();
    answers.strStream = JobStart() + answers.strBlocks;
    answers.strAttribute = Attribute();
    return answers;
}

std::string Answer(uint8_t cmdClass, uint8_t cmdCode, const ScanBytes& payload = {}, uint8_t reserved = 0)
{
    return UsbChunk(ScanResponse(cmdCode, OVRA_SCAN_RESPONSE_SUCCESS, payload, reserved, cmdClass));
}

std::string MakeUsbScan()
{
    const ScanBytes image(40, 0x33);
    const ScanBytes propertyPayload(sizeof(ResScanDeviceProperties) - sizeof(ResCommon), 0);
    return Answer(OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_LOCK)
           + Answer(OVRA_SCAN_CLASS_POWER, OVRA_SCAN_CODE_POWER_ON, ScanBytes(2, 0))
           + Answer(OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_DEVICE_PROPERTIES, propertyPayload)
           + Answer(OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_ADF_STATUS, {}, ADF_STATUS_LOADED)
           + Answer(OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_START) + UsbChunk(ScanStatusRecord(SCAN_STATUS_BEGIN_OF_SCAN))
           + UsbChunk(ScanStatusRecord(SCAN_STATUS_BEGIN_OF_PAGE)) + UsbChunk(ScanImageRecordHeader(image.size()))
           + UsbChunk(image) + UsbChunk(ScanStatusRecord(SCAN_STATUS_END_OF_PAGE))
           + UsbChunk(ScanStatusRecord(SCAN_STATUS_END_OF_DATA)) + Answer(OVRA_SCAN_CLASS_SCAN, OVRA_SCAN_CODE_UNLOCK);
}

} // namespace

const stNetScannerAnswers& HealthyNetScanner()
{
    static const stNetScannerAnswers answers = MakeNetAnswers();
    return answers;
}

const std::string& HealthyUsbScanner()
{
    static const std::string script = MakeUsbScan();
    return script;
}

void OpenScanLogs()
{
    static bool s_bOpen = false;
    if (s_bOpen)
        return;
    FuzzRoot();
    if (!ensureScanDir() || !OvraInitDbg())
        Fail("cannot open the scan logs");
    s_bOpen = true;
}

void RemovePageFiles() { RemoveFiles(scanDirPath(), c_szPageFilePrefix); }

void CapScanLogs()
{
    CapFile(scanInfoLogPath(), c_lLogCap);
    CapFile(scanErrLogPath(), c_lLogCap);
}

} // namespace ovrafuzz
