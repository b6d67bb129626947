// The network scanner protocol: an HTTP port (80) for job post, abort,
// capabilities and feeder status, a data port (2080) streaming the scanned
// pages in blocks, and an attribute port (5000) answering getAttribute
// requests. Statuses are in the SANE_Status numbering.
#pragma once

#include "ovrascannernet.h"
#include "ovrascanprotocol.h"

#include <cstdint>
#include <string>
#include <vector>

// Connection helpers.
int ovra_init_tcp(const char* ipAddr, uint16_t port);
void ovra_close_tcp(int sockfd);
int ovra_tcp_recv_with_retry(int sockfd, char** buf, int length);
int GetHostIPAddress(char* szHostIpAddress, uint16_t wBufSize);
// Sends all n bytes; false when the connection fails first.
bool ovra_tcp_send_all(int sockfd, const void* data, size_t n);

// Attribute request on port 5000. On OVRA_STATUS_GOOD, *outBuf holds a new buffer (release
// with free) with exactly *bufLen bytes of reply text.
int ovra_send_osl(OvraSocket sockFd, char** outBuf, OSL_CMD_TYPE cmdType, int* bufLen);

// Posts a scan job and opens the data stream: on OVRA_STATUS_GOOD the data connection is left
// open in socketFd->tcpFromScanner, after the job header has been read.
int ovra_http_ScanStart(OvraSocket* socketFd, const SettingInfo* pSettingInfo);
int ovra_http_ScanStartResult(const char* pData);

// One block of the data stream.
int ovra_tcp_ScanRecord(OvraSocket sock, ScanStatus* scanStatus, unsigned char** outbuf, int* bufSize, int* outLength);

int ovra_http_ScanAbort(OvraSocket socketFd);
int ovra_http_DeviceProperties(OvraSocket socketFd, ScannerCapabilities* m_ScanCap);
int ovra_ParseScanCapabilities(ScannerCapabilities* m_ScanCap, const char* pData);
int ovra_SetScanCapabilities(ScannerCapabilities* m_ScanCap, const std::string& pwszKey, const std::string& pwszValue);
int ovra_http_adfstatus(OvraSocket ovra_sock, ADFStatus* adfStatus);

// Texts of the exchanges, built and read without any connection.

// The dotted address the job post names as IPADDRESS and in its Host line.
extern const char c_szJobPostAddress[];

// One field of the scan job form.
struct LSP_POST_CMD {
    const char* key;
    char value[256];
};
enum TmpNumPostCmd {
    eScanType = 0,
    eAdvContrast,
    eBackgroundRemoval,
    eCompression,
    eContrast,
    eDarkness,
    eDepth,
    eDocSource,
    eEdgeToEdge,
    eIpAddress,
    eJpegQuality,
    eKeepAlive,
    eName,
    eOrientation,
    eResolution,
    eScanSource,
    eSharpness,
    eStartNow,
    eTcpPort,
    eType,
    eSinglePage,
    eCustomWidth,
    eCustomHeight,
    eOffsetX,
    eOffsetY,
    eNumPostCmd
};
enum ResultScanPost {
    RESULT_SUCCESS = 0,
    RESULT_BADFIELD = 1,
    RESULT_DEVICEBUSY = 91
};
enum TCPScanSource {
    SCAN_SOURCE_ADF = 0,
    SCAN_SOURCE_FLATBED = 7
};

constexpr size_t OVRA_JOB_BODY_MAX = 2048;

// The 25 fields for the settings; loginName fills NAME.
void buildScanJobForm(LSP_POST_CMD (&form)[eNumPostCmd], const SettingInfo& info, const std::string& loginName);
// "KEY=value&" over all fields, in order.
std::string buildScanJobBody(const LSP_POST_CMD (&form)[eNumPostCmd]);
// The POST request with its Content-Length and Host lines.
std::string buildPostRequest(const char* path, const std::string& host, const std::string& body);
// The GET request for the capabilities.
std::string buildCapabilitiesRequest(const std::string& host);
// The attribute request: 4-byte big-endian length and the XML text. Empty
// for an unknown type.
std::string buildOslMessage(OSL_CMD_TYPE cmdType);

// The text after the HTTP header (after the first empty line); the whole
// text when there is no header end.
const char* skipHttpHeader(const char* text);
// Lines split at CR and LF, empty lines dropped.
std::vector<std::string> splitLines(const char* text);
// A length written in decimal in len characters (leading blanks, as atoi
// reads it). -1 when it is negative or holds no digits.
long parseLengthField(const char* field, size_t len);
// The feeder status from the last character of the answer; ADF_STATUS_UNKNOWN when invalid.
int adfStatusFromAnswer(const char* answer, size_t len);
