// The settings tool's network page: a printer's reply to the probe and read requests
// (block headers removed, then the records).
#include "fuzzenv.h"
#include "netform.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using ovrafuzz::Check;
    // Exactly sized copies: a read or write past the reply is an ASan report.
    std::vector<unsigned char> reply(data, data + size);
    std::vector<unsigned char> payload(size);
    int iPayloadLength = -1;
    if (NetForm::FormatRecvData(reply.data(), int(size), payload.data(), &iPayloadLength))
        Check(iPayloadLength >= 0 && size_t(iPayloadLength) <= size, "payload longer than the reply");

    stIPInfo info;
    if (!NetForm::ParseRecvData(reply.data(), int(size), &info))
        return 0;
    Check(info.iTagBlock == 0 || info.iTagBlock == 1, "tag block");
    Check(info.iIPMode == c_iIPModeUnknown || info.iIPMode == c_iIPModeDHCP || info.iIPMode == c_iIPModeStatic, "mode");
    for (int k = 1; k <= c_iAddressCount; ++k)
        Check(info.Address(k).isEmpty() || NetForm::IsIPValid(info.Address(k)), "address taken unchecked");
    return 0;
}
