// Status responses decoded per second: the split of the response alone
// (UtilPrinterStatus::parseRecvBuf) and the whole decoding into a printer state
// (DecodePrinterStatus), as the print service does per poll and the tray per read.
#include "statusresponses.h"

#include "utilprinterstatus.h"

#include <benchmark/benchmark.h>

namespace {

using ovrabench::NamedResponse;

void ParseOnly(benchmark::State& state, const NamedResponse& response)
{
    for (auto _ : state) {
        UtilPrinterStatus parser;
        benchmark::DoNotOptimize(parser.parseRecvBuf(response.bytes.data(), response.bytes.size()));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(response.bytes.size()));
}

void Decode(benchmark::State& state, const NamedResponse& response)
{
    for (auto _ : state) {
        stPrinterState decoded;
        benchmark::DoNotOptimize(DecodePrinterStatus(response.bytes.data(), response.bytes.size(), decoded));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(response.bytes.size()));
}

const bool c_bRegistered = [] {
    for (const NamedResponse& response : ovrabench::SampleStatusResponses()) {
        benchmark::RegisterBenchmark(("parseRecvBuf/" + response.name).c_str(), ParseOnly, response);
        benchmark::RegisterBenchmark(("DecodePrinterStatus/" + response.name).c_str(), Decode, response);
    }
    return true;
}();

} // namespace
