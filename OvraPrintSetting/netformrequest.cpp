// The requests of the network page: probe, read and write frames of group 0xB2.
#include "netform.h"

#include <QStringList>

#include <cstring>

namespace {

const unsigned char c_byProbeRequest[c_iProbeRequestLength] = {0xA5, 0x00, 0x0B, 0x50, 0xE0, 0xB2, 0x02,
                                                               0x00, 0x00, 0x01, 0x00, 0x01, 0x63, 0x74};
const unsigned char c_byReadHead[] = {0xA5, 0x00, 0x19, 0x50, 0xE0, 0xB2, 0x02, 0x00, 0x00, 0x01, 0x00, 0x08};
const unsigned char c_byWriteHead[] = {0xA5, 0x00, 0x48, 0x50, 0xE0, 0xB2, 0x03, 0x00, 0x09};
const unsigned char c_byTagHigh = 0x40;
const unsigned char c_byClosingTag = 0x0F;
const int c_iBlockTagOffset = 0x10; // added to the low tag byte in block 0

unsigned char TagLow(int iBlock, int iTag) { return (unsigned char)(iBlock == 0 ? iTag + c_iBlockTagOffset : iTag); }

// One write record: tag, 2-byte length, and room for the value; returns the value's offset.
int PutRecordHead(unsigned char* request, int offset, int iBlock, int iTag, int iLength)
{
    request[offset] = c_byTagHigh;
    request[offset + 1] = TagLow(iBlock, iTag);
    request[offset + 2] = (unsigned char)(iLength >> 8);
    request[offset + 3] = (unsigned char)(iLength & 0xFF);
    return offset + 4;
}

} // namespace

void NetForm::ProbeRequest(unsigned char* request, int* length)
{
    std::memcpy(request, c_byProbeRequest, sizeof(c_byProbeRequest));
    *length = sizeof(c_byProbeRequest);
}

void NetForm::ReadRequest(int iBlock, unsigned char* request, int* length)
{
    std::memcpy(request, c_byReadHead, sizeof(c_byReadHead));
    int offset = sizeof(c_byReadHead);
    for (int iTag = 0; iTag <= c_iAddressCount; ++iTag) {
        request[offset++] = c_byTagHigh;
        request[offset++] = TagLow(iBlock, iTag);
    }
    *length = offset;
}

bool NetForm::FormatIPData(QString address, unsigned char* buffer, int offset)
{
    if (!IsIPValid(address))
        return false;
    const QStringList parts = address.split('.');
    if (parts.size() != c_iOctetCount)
        return false;
    for (int o = 0; o < c_iOctetCount; ++o)
        buffer[offset + o] = (unsigned char)parts.at(o).toInt(nullptr, 10);
    return true;
}

bool NetForm::WriteSendData(stIPInfo info, unsigned char* request, int* length)
{
    const int iBlock = info.iTagBlock;
    std::memcpy(request, c_byWriteHead, sizeof(c_byWriteHead));
    int offset = PutRecordHead(request, sizeof(c_byWriteHead), iBlock, 0, 1);
    request[offset++] = (unsigned char)(info.iIPMode == c_iIPModeStatic ? c_iIPModeStatic : c_iIPModeDHCP);
    bool bAll = true;
    for (int k = 1; k <= c_iAddressCount; ++k) {
        offset = PutRecordHead(request, offset, iBlock, k, c_iOctetCount);
        bAll = FormatIPData(info.Address(k), request, offset) && bAll;
        offset += c_iOctetCount;
    }
    offset = PutRecordHead(request, offset, iBlock, c_byClosingTag, 1);
    request[offset++] = 0x00;
    *length = offset;
    return bAll;
}
