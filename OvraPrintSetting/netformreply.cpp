// Replies of the network page: block headers off, then the records one after the other.
// Every read is checked against the payload: no reply reads or writes out of bounds.
#include "netform.h"

#include <cstring>
#include <vector>

namespace {

const unsigned char c_byBlockStart = 0xA5;
const int c_iBlockSize = 64;
const int c_iBlockHeaderSize = 5;
const int c_iMinReply = 7;
const int c_iPayloadLead = 6;

const int c_iTagModeBlock1 = 0x4000;
const int c_iTagModeBlock0 = 0x4010;
const int c_iTagProbe = 0x6374;

// Layout of a record: where its 2-byte length stands; the value follows it.
struct stRecordLayout {
    int iLengthAt;
};
const stRecordLayout c_stLongRecord = {16};  // mode, probe answer
const stRecordLayout c_stShortRecord = {12}; // addresses

int U16At(const unsigned char* data, int pos) { return (data[pos] << 8) | data[pos + 1]; }

// Address k (1..7) of either block, or 0 for another tag.
int AddressOfTag(int iTag)
{
    for (int iBase : {c_iTagModeBlock1, c_iTagModeBlock0}) {
        if (iTag > iBase && iTag <= iBase + c_iAddressCount)
            return iTag - iBase;
    }
    return 0;
}

// The value as text up to its first zero byte; only the first 399 bytes are kept.
QString ValueText(const unsigned char* value, int iLength)
{
    char szValue[c_iValueBufferSize] = {0};
    std::memcpy(szValue, value, size_t(qMin(iLength, c_iValueBufferSize - 1)));
    return QString::fromLatin1(szValue);
}

bool ApplyMode(const QString& strText, stIPInfo* info)
{
    if (strText == "DHCP")
        info->iIPMode = c_iIPModeDHCP;
    else if (strText == "Static")
        info->iIPMode = c_iIPModeStatic;
    else
        return false;
    return true;
}

// Handles the record at offset; *next gets the offset of the record after it. False
// for an unknown tag, a bad value, or a record running past the payload.
bool ParseRecord(const unsigned char* payload, int payloadLength, int offset, stIPInfo* info, int* next)
{
    if (offset + 2 > payloadLength)
        return false;
    const int iTag = U16At(payload, offset);
    const int iAddress = AddressOfTag(iTag);
    const bool bLong = iTag == c_iTagModeBlock1 || iTag == c_iTagModeBlock0 || iTag == c_iTagProbe;
    if (!bLong && iAddress == 0)
        return false;
    const stRecordLayout& layout = bLong ? c_stLongRecord : c_stShortRecord;
    const int iValueAt = offset + layout.iLengthAt + 2;
    if (iValueAt > payloadLength)
        return false;
    const int iLength = U16At(payload, offset + layout.iLengthAt);
    if (iLength > payloadLength - iValueAt)
        return false;
    *next = iValueAt + iLength;

    const QString strText = ValueText(payload + iValueAt, iLength);
    if (iTag == c_iTagProbe) {
        info->iTagBlock = strText.isEmpty() ? 0 : 1;
        return true;
    }
    if (bLong)
        return ApplyMode(strText, info);
    if (!NetForm::IsIPValid(strText))
        return false;
    info->Address(iAddress) = strText;
    return true;
}

} // namespace

bool NetForm::FormatRecvData(unsigned char* reply, int length, unsigned char* payload, int* payloadLength)
{
    if (!reply || !payload || !payloadLength || length < c_iMinReply || reply[0] != c_byBlockStart)
        return false;
    int iCopied = 0;
    int pos = 0;
    while (pos < length) {
        if (pos % c_iBlockSize == 0 && reply[pos] == c_byBlockStart) {
            pos += c_iBlockHeaderSize;
            continue;
        }
        payload[iCopied++] = reply[pos++];
    }
    *payloadLength = iCopied;
    return true;
}

bool NetForm::ParseRecvData(unsigned char* reply, int length, stIPInfo* info)
{
    if (!reply || !info || length <= 0)
        return false;
    std::vector<unsigned char> payload(static_cast<size_t>(length));
    int iPayloadLength = 0;
    if (!FormatRecvData(reply, length, payload.data(), &iPayloadLength))
        return false;
    int offset = c_iPayloadLead;
    do {
        int next = offset;
        if (!ParseRecord(payload.data(), iPayloadLength, offset, info, &next))
            return false;
        offset = next;
    } while (offset < iPayloadLength);
    return true;
}
