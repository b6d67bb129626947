// ovra-usbprinter-emu: emulated Ovra USB printers for programs in other
// processes. See README.md for the options and the control commands.
#include "commandinterpreter.h"
#include "emulatorprocess.h"
#include "ovraemu/usbprinterbed.h"
#include "ovracli.h"

#include <string>
#include <vector>

namespace {

constexpr char kName[] = "ovra-usbprinter-emu";

struct Options {
    ovraemu::EmulatorProcess process;
    std::vector<ovraemu::UsbPrinterConfig> printers;
};

const char kUsage[] = "usage: ovra-usbprinter-emu --socket PATH [--env-file PATH] [--printer VID:PID[:SERIAL]]...\n"
                      "                           [-- PROGRAM [ARGS...]]\n"
                      "       ovra-usbprinter-emu ctl SOCKET COMMAND [ARGS...]\n"
                      "       ovra-usbprinter-emu --help | --version\n";

constexpr int kOptionPrinter = ovraemu::kOptionFirstOwn;

// kOvraRun, or the exit status the command line ends with.
int ParseOptions(int argc, char** argv, Options& options)
{
    static const option longOptions[] = {{"printer", required_argument, nullptr, kOptionPrinter},
                                         OVRA_EMULATOR_LONG_OPTIONS,
                                         OVRA_COMMON_LONG_OPTIONS,
                                         {nullptr, 0, nullptr, 0}};
    options.process.name = kName;
    return ovraemu::ParseEmulatorCommandLine(argc, argv, longOptions, kUsage, options.process,
                                             [&options](int, const char* value) {
                                                 const auto config = ovraemu::ParsePrinterArgument(value);
                                                 if (config)
                                                     options.printers.push_back(*config);
                                                 return config.has_value();
                                             });
}

int Serve(const Options& options)
{
    ovraemu::BlockStopSignals();
    ovraemu::UsbPrinterBed bed;
    for (const ovraemu::UsbPrinterConfig& config : options.printers)
        bed.AddPrinter(config);
    ovraemu::CommandInterpreter interpreter(bed);
    return ovraemu::ServeTestbed(options.process, interpreter);
}

} // namespace

int main(int argc, char** argv) { return ovraemu::RunEmulatorMain(kName, argc, argv, ParseOptions, Serve); }
