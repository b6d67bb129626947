// Network-settings replies handled per second by the settings tool: the removal of the
// block headers (FormatRecvData) and the whole record parse (ParseRecvData), for the
// probe reply and for the read reply with the mode and all seven addresses. The replies
// come from the printer side of the emulators.
#include "netform.h"
#include "settingsresponder.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadReply()
{
    ovraemu::SettingsResponder printer;
    printer.SetModeText(std::string("Static"));
    const char* addresses[] = {"192.168.1.20", "255.255.255.0", "192.168.1.1", "8.8.8.8",
                               "8.8.4.4",      "10.0.0.5",      "10.0.0.6"};
    for (int k = 1; k <= c_iAddressCount; ++k)
        printer.SetAddress(k, addresses[k - 1]);
    unsigned char request[c_iReadRequestLength] = {0};
    int iLength = 0;
    NetForm::ReadRequest(1, request, &iLength);
    return printer.Answer(Bytes(request, request + iLength)).value_or(Bytes());
}

Bytes ProbeReply()
{
    ovraemu::SettingsResponder printer;
    printer.SetProbeText(std::string("K246"));
    unsigned char request[c_iProbeRequestLength] = {0};
    int iLength = 0;
    NetForm::ProbeRequest(request, &iLength);
    return printer.Answer(Bytes(request, request + iLength)).value_or(Bytes());
}

void FormatRecvData(benchmark::State& state, Bytes reply)
{
    Bytes payload(reply.size());
    int iPayloadLength = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            NetForm::FormatRecvData(reply.data(), int(reply.size()), payload.data(), &iPayloadLength));
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(reply.size()));
}

void ParseRecvData(benchmark::State& state, Bytes reply)
{
    for (auto _ : state) {
        stIPInfo info;
        benchmark::DoNotOptimize(NetForm::ParseRecvData(reply.data(), int(reply.size()), &info));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(reply.size()));
}

BENCHMARK_CAPTURE(FormatRecvData, read, ReadReply());
BENCHMARK_CAPTURE(ParseRecvData, read, ReadReply());
BENCHMARK_CAPTURE(FormatRecvData, probe, ProbeReply());
BENCHMARK_CAPTURE(ParseRecvData, probe, ProbeReply());

} // namespace
