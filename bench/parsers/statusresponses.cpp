#include "statusresponses.h"

#include "printerstatebuilder.h"

namespace ovrabench {

namespace {

// Supply items a printer reports: toner, then the counters.
const uint16_t c_wSupplyTags[] = {0x1000, 0x1001, 0x1002, 0x1003, 0x1004, 0x1100, 0x1101, 0x1102};

ovraemu::EmuPrinterState ReadyPrinter()
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = "K246SN0001";
    uint32_t value = 8000;
    for (uint16_t tag : c_wSupplyTags)
        state.SetCounter(tag, value += 1000);
    return state;
}

ovraemu::EmuPrinterState TroubledPrinter()
{
    ovraemu::EmuPrinterState state = ReadyPrinter();
    state.errors = {0x11A0, 0x11B0, 0x1106, 0x1212};
    state.warnings = {0x110D, 0x1121};
    return state;
}

ovraemu::EmuPrinterState VerbosePrinter()
{
    ovraemu::EmuPrinterState state = TroubledPrinter();
    state.product = std::string(200, 'P');
    state.extraText = std::string(200, 'X');
    for (uint16_t tag = 0x2000; tag < 0x2040; ++tag)
        state.SetCounter(tag, tag);
    return state;
}

} // namespace

std::vector<NamedResponse> SampleStatusResponses()
{
    return {{"ready", ovraemu::BuildUdpStatusReply(ReadyPrinter())},
            {"errors", ovraemu::BuildUdpStatusReply(TroubledPrinter())},
            {"verbose", ovraemu::BuildUdpStatusReply(VerbosePrinter())}};
}

} // namespace ovrabench
