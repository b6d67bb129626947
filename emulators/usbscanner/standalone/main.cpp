// ovra-usbscanner-emu: emulated USB scanners of Ovra multifunction printers
// for programs in other processes. See README.md for the options and the
// control commands.
#include "emulatorprocess.h"
#include "jobspec.h"
#include "ovraemu/usbcore/testbedpreload.h"
#include "ovraemu/usbscannerbed.h"
#include "ovracli.h"
#include "scannercommands.h"
#include "scannerwords.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char kName[] = "ovra-usbscanner-emu";

struct Options {
    ovraemu::EmulatorProcess process;
    std::vector<ovraemu::UsbScannerConfig> scanners;
    std::optional<ovraemu::ScanJob> job; // for every scanner given here
};

const char kUsage[] = "usage: ovra-usbscanner-emu --socket PATH [--env-file PATH]\n"
                      "                           [--scanner VID:PID[:SERIAL[:MANUFACTURER[:PRODUCT]]]]...\n"
                      "                           [--job pages=N,content=chart|pattern,...]\n"
                      "                           [-- PROGRAM [ARGS...]]\n"
                      "       ovra-usbscanner-emu ctl SOCKET COMMAND [ARGS...]\n"
                      "       ovra-usbscanner-emu --help | --version\n";

enum ScannerOption {
    kOptionScanner = ovraemu::kOptionFirstOwn,
    kOptionJob
};

bool ParseJob(const std::string& value, Options& options)
{
    auto parsed = ovraemu::ParseJobSpec(value);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "%s: %s\n", kName, error->c_str());
        return false;
    }
    options.job = std::move(std::get<ovraemu::ScanJob>(parsed));
    return true;
}

bool TakeScanner(const char* value, Options& options)
{
    const auto config = ovraemu::ParseScannerArgument(value);
    if (config)
        options.scanners.push_back(*config);
    return config.has_value();
}

// kOvraRun, or the exit status the command line ends with.
int ParseOptions(int argc, char** argv, Options& options)
{
    static const option longOptions[] = {{"scanner", required_argument, nullptr, kOptionScanner},
                                         {"job", required_argument, nullptr, kOptionJob},
                                         OVRA_EMULATOR_LONG_OPTIONS,
                                         OVRA_COMMON_LONG_OPTIONS,
                                         {nullptr, 0, nullptr, 0}};
    options.process.name = kName;
    // Scan programs fork data processes that share the device handle.
    options.process.preloadFirst = {ovraemu::UsbfsSerialLibrary()};
    return ovraemu::ParseEmulatorCommandLine(argc, argv, longOptions, kUsage, options.process,
                                             [&options](int code, const char* value) {
                                                 return code == kOptionScanner ? TakeScanner(value, options)
                                                                               : ParseJob(value, options);
                                             });
}

int Serve(const Options& options)
{
    ovraemu::BlockStopSignals();
    ovraemu::UsbScannerBed bed;
    for (const ovraemu::UsbScannerConfig& config : options.scanners) {
        const int id = bed.AddScanner(config);
        if (options.job)
            bed.SetJob(id, *options.job);
    }
    ovraemu::ScannerCommandInterpreter interpreter(bed);
    return ovraemu::ServeTestbed(options.process, interpreter);
}

} // namespace

int main(int argc, char** argv) { return ovraemu::RunEmulatorMain(kName, argc, argv, ParseOptions, Serve); }
