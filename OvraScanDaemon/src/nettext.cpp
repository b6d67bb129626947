// Reading the texts a network scanner answers with.
#include "netscanner.h"
#include "scanlog.h"

#include <cstdlib>
#include <cstring>

const char* skipHttpHeader(const char* text)
{
    const char* end = strstr(text, "\r\n\r\n");
    return end ? end + 4 : text;
}

std::vector<std::string> splitLines(const char* text)
{
    std::vector<std::string> lines;
    const char* start = text;
    for (const char* p = text;; ++p) {
        if (*p == '\r' || *p == '\n' || *p == '\0') {
            if (p > start)
                lines.emplace_back(start, static_cast<size_t>(p - start));
            if (*p == '\0')
                break;
            start = p + 1;
        }
    }
    return lines;
}

long parseLengthField(const char* field, size_t len)
{
    char text[32] = {};
    if (len >= sizeof(text))
        len = sizeof(text) - 1;
    memcpy(text, field, len);
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p < '0' || *p > '9')
        return -1;
    return strtol(p, nullptr, 10);
}

int ovra_http_ScanStartResult(const char* pData)
{
    for (const std::string& line : splitLines(skipHttpHeader(pData))) {
        size_t eq = line.find('=');
        std::string key = line.substr(0, eq);
        if (key != "RESULT")
            continue;
        std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        int result = atoi(value.c_str());
        if (result == RESULT_SUCCESS)
            return OVRA_STATUS_GOOD;
        return result == RESULT_DEVICEBUSY ? OVRA_STATUS_DEVICE_BUSY : OVRA_STATUS_INVAL;
    }
    return OVRA_STATUS_GOOD;
}

int ovra_SetScanCapabilities(ScannerCapabilities* m_ScanCap, const std::string& pwszKey, const std::string& pwszValue)
{
    uint32_t number = static_cast<uint32_t>(strtoul(pwszValue.c_str(), nullptr, 10));
    if (pwszKey == "DUPLEX")
        m_ScanCap->duplex = pwszValue == "true";
    else if (pwszKey == "COLOR")
        m_ScanCap->color = pwszValue == "COLOR";
    else if (pwszKey == "MINRES")
        m_ScanCap->minres = number;
    else if (pwszKey == "MAXRES")
        m_ScanCap->maxres = number;
    else if (pwszKey == "WIDTH_FORMAT")
        m_ScanCap->width_format = number;
    else if (pwszKey == "FAMILY")
        m_ScanCap->family = number;
    else if (pwszKey == "PERMPROFILES")
        m_ScanCap->permprofiles = pwszValue == "true";
    else if (pwszKey == "PROFILE")
        m_ScanCap->profile = pwszValue != "DISABLED";
    else if (pwszKey == "MAX_WIDTH")
        m_ScanCap->maxWidth = number;
    else if (pwszKey == "MAX_HEIGHT")
        m_ScanCap->maxHeight = number;
    else if (pwszKey == "BASIC_RESOLUTION")
        m_ScanCap->basicres = number;
    return OVRA_STATUS_GOOD;
}

int ovra_ParseScanCapabilities(ScannerCapabilities* m_ScanCap, const char* pData)
{
    const char* body = skipHttpHeader(pData);
    OvraLogInfo("ovra_ParseScanCapabilities \n%s\n", body);
    for (const std::string& line : splitLines(body)) {
        size_t eq = line.find('=');
        std::string key = line.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        ovra_SetScanCapabilities(m_ScanCap, key, value);
        OvraLogInfo("%s:%s", key.c_str(), value.c_str());
    }
    return OVRA_STATUS_GOOD;
}

int adfStatusFromAnswer(const char* answer, size_t len)
{
    if (len == 0)
        return ADF_STATUS_UNKNOWN;
    switch (answer[len - 1]) {
    case '1': return ADF_STATUS_EMPTY;
    case '2': return ADF_STATUS_LOADED;
    case '3': return ADF_STATUS_PAPER_JAM;
    default: return ADF_STATUS_UNKNOWN;
    }
}
