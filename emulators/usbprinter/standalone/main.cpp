// ovra-usbprinter-emu: emulated Ovra USB printers for programs in other
// processes. See README.md for the options and the control commands.
#include "commandinterpreter.h"
#include "emulatorprocess.h"
#include "ovraemu/usbprinterbed.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kName[] = "ovra-usbprinter-emu";

struct Options {
    ovraemu::EmulatorProcess process;
    std::vector<ovraemu::UsbPrinterConfig> printers;
};

void Usage()
{
    std::fprintf(stderr,
                 "usage: ovra-usbprinter-emu --socket PATH [--env-file PATH] [--printer VID:PID[:SERIAL]]...\n"
                 "                           [-- PROGRAM [ARGS...]]\n"
                 "       ovra-usbprinter-emu ctl SOCKET COMMAND [ARGS...]\n");
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    options.process.name = kName;
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
        } else if (arg == "--printer") {
            const auto config = ovraemu::ParsePrinterArgument(value);
            if (!config)
                return false;
            options.printers.push_back(*config);
        } else {
            return false;
        }
    }
    return !options.process.socketPath.empty();
}

int Serve(const Options& options)
{
    ovraemu::BlockStopSignals();
    ovraemu::UsbPrinterBed bed;
    for (const ovraemu::UsbPrinterConfig& config : options.printers)
        bed.AddPrinter(config);
    ovraemu::CommandInterpreter interpreter(bed);
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
