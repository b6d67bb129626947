// ovra-usbscanner-emu: emulated USB scanners of Ovra multifunction printers
// for programs in other processes. See README.md for the options and the
// control commands.
#include "emulatorprocess.h"
#include "jobspec.h"
#include "ovraemu/usbcore/testbedpreload.h"
#include "ovraemu/usbscannerbed.h"
#include "scannercommands.h"
#include "scannerwords.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char kName[] = "ovra-usbscanner-emu";

struct Options {
    ovraemu::EmulatorProcess process;
    std::vector<ovraemu::UsbScannerConfig> scanners;
    std::optional<ovraemu::ScanJob> job;  // for every scanner given here
};

void Usage()
{
    std::fprintf(stderr,
                 "usage: ovra-usbscanner-emu --socket PATH [--env-file PATH]\n"
                 "                           [--scanner VID:PID[:SERIAL[:MANUFACTURER[:PRODUCT]]]]...\n"
                 "                           [--job pages=N,content=chart|pattern,...]\n"
                 "                           [-- PROGRAM [ARGS...]]\n"
                 "       ovra-usbscanner-emu ctl SOCKET COMMAND [ARGS...]\n");
}

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

bool ParseOptions(int argc, char** argv, Options& options)
{
    options.process.name = kName;
    // Scan programs fork data processes that share the device handle.
    options.process.preloadFirst = {ovraemu::UsbfsSerialLibrary()};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            options.process.program.assign(argv + i + 1, argv + argc);
            return !options.process.program.empty() && !options.process.socketPath.empty();
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--socket") {
            options.process.socketPath = value;
        } else if (arg == "--env-file") {
            options.process.envFile = value;
        } else if (arg == "--scanner") {
            const auto config = ovraemu::ParseScannerArgument(value);
            if (!config)
                return false;
            options.scanners.push_back(*config);
        } else if (arg == "--job") {
            if (!ParseJob(value, options))
                return false;
        } else {
            return false;
        }
    }
    return !options.process.socketPath.empty();
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
    return ovraemu::ServeEmulator(
        options.process, bed.RootDir(), [&interpreter](const std::string& line) { return interpreter.Execute(line); },
        [&interpreter] { return interpreter.QuitRequested(); });
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "ctl") == 0)
        return ovraemu::RunControlCommand(kName, argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    try {
        return Serve(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kName, e.what());
        return 1;
    }
}
