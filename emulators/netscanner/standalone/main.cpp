// ovra-scanner-emu: one emulated network scanner on a loopback address, for the demo
// and for trying the scan daemon by hand.
#include "scanneremuoptions.h"
#include "stopwait.h"

#include "ovraemu/netscanner.h"
#include "ovracli.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>

namespace {

bool ReadImages(const std::vector<std::string>& files, std::vector<std::vector<uint8_t>>& images)
{
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            fprintf(stderr, "ovra-scanner-emu: cannot read %s\n", file.c_str());
            return false;
        }
        images.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return true;
}

void ApplyScript(const ScannerEmuOptions& options, ovraemu::NetScanner& scanner)
{
    scanner.SetJob(options.job);
    scanner.SetFeeder(options.feeder);
    scanner.SetPostResult(options.postResult);
    for (const auto& [route, status] : options.httpStatus)
        scanner.SetHttpStatus(route, status);
    scanner.SetAttributeReplyBytes(options.attributeBytes);
    scanner.SetAttributeReplyParts(options.attributeParts);
}

} // namespace

int main(int argc, char** argv)
{
    ScannerEmuOptions options;
    std::string error;
    if (!ParseScannerEmuOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        fprintf(stderr, "ovra-scanner-emu: %s\n%s", error.c_str(), kScannerEmuUsage);
        return 2;
    }
    if (options.help) {
        fputs(kScannerEmuUsage, stdout);
        return 0;
    }
    if (options.version) {
        PrintOvraVersion("ovra-scanner-emu");
        return en_Exit_Ok;
    }
    if (!ReadImages(options.imageFiles, options.job.images))
        return 2;

    BlockStopSignals();
    ovraemu::NetScanner scanner(options.address);
    scanner.SetEventSink([](const std::string& line) {
        printf("%s\n", line.c_str());
        fflush(stdout);
    });
    ApplyScript(options, scanner);
    if (!scanner.Start(&error)) {
        fprintf(stderr, "ovra-scanner-emu: %s\n", error.c_str());
        return 1;
    }
    WaitForStop(options.durationSeconds);
    scanner.Stop();
    return 0;
}
