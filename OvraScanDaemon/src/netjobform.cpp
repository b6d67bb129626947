// The texts the daemon sends to a network scanner.
#include "netscanner.h"

#include <cstdio>
#include <cstring>

// The job post names the host by this fixed address (the scanner streams the
// data on the connection the daemon opens, so it is informational only).
const char c_szJobPostAddress[] = "127.000.000.001";
static_assert(sizeof(c_szJobPostAddress) == 16, "the job post address has 15 characters");

namespace {

// Indexed by TmpNumPostCmd: one key per field, or the table does not compile.
const char* const c_szPostKeys[] = {
    "SCANTYPE",     "ADVCONTRAST",   "BACKGROUNDREMOVAL", "COMPRESSION", "CONTRAST",  "DARKNESS", "DEPTH",
    "DOCSOURCE",    "EDGETOEDGE",    "IPADDRESS",         "JPEGQUALITY", "KEEPALIVE", "NAME",     "ORIENTATION",
    "RESOLUTION",   "SCANSOURCE",    "SHARPNESS",         "START_NOW",   "TCPPORT",   "TYPE",     "SINGLEPAGE",
    "CUSTOM_WIDTH", "CUSTOM_HEIGHT", "OFFSETX",           "OFFSETY"};
static_assert(sizeof(c_szPostKeys) / sizeof(c_szPostKeys[0]) == eNumPostCmd, "c_szPostKeys needs one key per field");

const char c_szPostHead[] = "Connection: Keep-Alive\r\n"
                            "Content-Type: application/x-www-form-urlencoded\r\n"
                            "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\n"
                            "User-Agent: HttpScanConnection\r\n";

void setText(LSP_POST_CMD& field, const char* text) { snprintf(field.value, sizeof(field.value), "%s", text); }

void setNumber(LSP_POST_CMD& field, unsigned long number) { snprintf(field.value, sizeof(field.value), "%lu", number); }

const char* depthText(uint8_t bitDepth)
{
    if (bitDepth == 1)
        return "other";
    return bitDepth == 8 ? "8" : "24";
}

} // namespace

void buildScanJobForm(LSP_POST_CMD (&form)[eNumPostCmd], const SettingInfo& info, const std::string& loginName)
{
    for (int i = 0; i < eNumPostCmd; ++i) {
        form[i].key = c_szPostKeys[i];
        form[i].value[0] = '\0';
    }
    const bool jpeg = info.compType == COMPRESSION_JPEG;
    setText(form[eScanType], "2");
    setNumber(form[eAdvContrast], info.ContrastParam);
    if (info.backgroundRemoval)
        setNumber(form[eBackgroundRemoval], info.backgroundRemovalParam);
    setText(form[eCompression], "JPEG");
    setText(form[eContrast], "MIXED");
    setNumber(form[eDarkness], info.BrightnessParam);
    setText(form[eDepth], depthText(info.bitDepth));
    setText(form[eDocSource], "0");
    setText(form[eEdgeToEdge], "0");
    setText(form[eIpAddress], c_szJobPostAddress);
    if (jpeg)
        setText(form[eJpegQuality], "70");
    setText(form[eKeepAlive], "0");
    setText(form[eName], loginName.c_str());
    setText(form[eOrientation], "PORTRAIT");
    setNumber(form[eResolution], info.xResolution);
    setNumber(form[eScanSource], info.feederEnabled ? SCAN_SOURCE_ADF : SCAN_SOURCE_FLATBED);
    setText(form[eSharpness], "0");
    setText(form[eStartNow], "1");
    setText(form[eTcpPort], "2080");
    setText(form[eType], jpeg ? "JPEG" : "RAW");
    if (info.feederEnabled && info.isClient == 0)
        setText(form[eSinglePage], "TRUE");
    setNumber(form[eCustomWidth], info.width);
    setNumber(form[eCustomHeight], info.height);
    setNumber(form[eOffsetX], info.xStart);
    setNumber(form[eOffsetY], info.yStart);
}

std::string buildScanJobBody(const LSP_POST_CMD (&form)[eNumPostCmd])
{
    std::string body;
    for (int i = 0; i < eNumPostCmd; ++i) {
        body += form[i].key;
        body += '=';
        body += form[i].value;
        body += '&';
    }
    if (body.size() > OVRA_JOB_BODY_MAX)
        body.resize(OVRA_JOB_BODY_MAX);
    return body;
}

std::string buildPostRequest(const char* path, const std::string& host, const std::string& body)
{
    std::string request = "POST ";
    request += path;
    request += " HTTP/1.1\r\n";
    request += c_szPostHead;
    request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    request += "Host: " + host + "\r\n";
    request += "\r\n";
    request += body;
    return request;
}

std::string buildCapabilitiesRequest(const std::string& host)
{
    return "GET /netscan/capabilites HTTP/1.1\r\n"
           "Cache-Control: no-cache\r\n"
           "Pragma: no-cache\r\n"
           "User-Agent: Jav/1.6.0_18\r\n"
           "Host: "
           + host
           + "\r\n"
             "\r\n"
             "Connection: Keep-Alive\r\n"
             "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\n"
             "Content-Type: application/x-www-form-urlencoded\r\n"
             "\n";
}

std::string buildOslMessage(OSL_CMD_TYPE cmdType)
{
    const char* object;
    const char* attribute;
    int requestId;
    switch (cmdType) {
    case OSL_CMD_FAMILYTYPE:
        object = "system";
        attribute = "familyType";
        requestId = 10001;
        break;
    case OSL_CMD_GETLIST:
        object = "mfp.profileFactory";
        attribute = "getList";
        requestId = 10002;
        break;
    case OSL_CMD_SUMMARY:
        object = "mfp.scanner";
        attribute = "summary";
        requestId = 10003;
        break;
    default: return std::string();
    }
    char text[512];
    int n = snprintf(text, sizeof(text),
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                     "<method name=\"getAttribute\" requestID=\"%d\">\r\n"
                     "  <arg name=\"objName\">%s</arg>\r\n"
                     "  <arg name=\"attribName\">%s</arg>\r\n"
                     "</method>\r\n",
                     requestId, object, attribute);
    uint32_t length = static_cast<uint32_t>(n);
    std::string message;
    message += static_cast<char>((length >> 24) & 0xFF);
    message += static_cast<char>((length >> 16) & 0xFF);
    message += static_cast<char>((length >> 8) & 0xFF);
    message += static_cast<char>(length & 0xFF);
    message.append(text, static_cast<size_t>(n));
    return message;
}
